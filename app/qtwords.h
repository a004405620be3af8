// Qt's own words (the message box's button, the text boxes' and scroll bars' menus) in
// Simplified Chinese, like the rest of the window, for a user whose language it is; Qt's
// English for every other.
#pragma once

#include <QLocale>

class QTranslator;

namespace tapecalc {

// Installs into the running application, for a Simplified Chinese `locale` (China,
// Singapore …), Qt's translation from Qt's translations folder (qtbase_zh_CN.qm) or, where
// that is missing, the built-in Chinese words; for any other, nothing, so Qt's English
// stays. The translator returned (none: null) belongs to the application.
QTranslator *installQtWords(const QLocale &locale);

} // namespace tapecalc
