// Qt's own words (the message box's button, the text boxes' and scroll bars' menus) in
// the user's language, and in Chinese where Qt has none for it: the rest of the
// window is Chinese.
#pragma once

#include <QLocale>

class QTranslator;

namespace tapecalc {

// Installs into the running application Qt's translation for `locale` from Qt's
// translations folder (qtbase_zh_CN.qm …), or the built-in Chinese words when the
// locale is English (Qt's own) or Qt has no translation for it. The translator
// returned belongs to the application.
QTranslator *installQtWords(const QLocale &locale);

} // namespace tapecalc
