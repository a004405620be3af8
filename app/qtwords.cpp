// Qt's translation into Simplified Chinese, or the few of Qt's words the window can show.
#include "app/qtwords.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace tapecalc {

namespace {

// The words as qtbase_zh_CN.qm has them, so a desktop with Qt's translations and one
// without show the same menus (and the program's typeface has their characters).
struct Word {
    const char *context;
    const char *source;
    const char *chinese;
};
// clang-format off
constexpr Word chineseWords[] = {
    {"QPlatformTheme", "OK", "确定"},
    {"QLineEdit", "&Undo", "撤消(&U)"},
    {"QLineEdit", "&Redo", "重做(&R)"},
    {"QLineEdit", "Cu&t", "剪切(&T)"},
    {"QLineEdit", "&Copy", "复制(&C)"},
    {"QLineEdit", "&Paste", "粘贴(&P)"},
    {"QLineEdit", "Delete", "删除"},
    {"QLineEdit", "Select All", "全选"},
    {"QWidgetTextControl", "&Undo", "撤消(&U)"},
    {"QWidgetTextControl", "&Redo", "重做(&R)"},
    {"QWidgetTextControl", "Cu&t", "剪切(&T)"},
    {"QWidgetTextControl", "&Copy", "复制(&C)"},
    {"QWidgetTextControl", "Copy &Link Location", "复制链接地址(&L)"},
    {"QWidgetTextControl", "&Paste", "粘贴(&P)"},
    {"QWidgetTextControl", "Delete", "删除"},
    {"QWidgetTextControl", "Select All", "全选"},
    {"QScrollBar", "Scroll here", "滚动至此"},
    {"QScrollBar", "Left edge", "左边缘"},
    {"QScrollBar", "Top", "顶端"},
    {"QScrollBar", "Right edge", "右边缘"},
    {"QScrollBar", "Bottom", "底部"},
    {"QScrollBar", "Page left", "向左翻页"},
    {"QScrollBar", "Page up", "向上翻页"},
    {"QScrollBar", "Page right", "向右翻页"},
    {"QScrollBar", "Page down", "向下翻页"},
    {"QScrollBar", "Scroll left", "向左滚动"},
    {"QScrollBar", "Scroll up", "向上滚动"},
    {"QScrollBar", "Scroll right", "向右滚动"},
    {"QScrollBar", "Scroll down", "向下滚动"},
};
// clang-format on

class ChineseWords : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char *context, const char *source, const char *, int) const override {
        for (const Word &word : chineseWords)
            if (qstrcmp(word.context, context) == 0 && qstrcmp(word.source, source) == 0)
                return QString::fromUtf8(word.chinese);
        return {};
    }
    bool isEmpty() const override { return false; }
};

} // namespace

QTranslator *installQtWords(const QLocale &locale) {
    // Any other language's words (Traditional Chinese, Japanese, Korean …) would lose the
    // characters the program's typeface lacks where the system has no font for them.
    if (locale.language() != QLocale::Chinese || locale.script() != QLocale::SimplifiedHanScript)
        return nullptr;
    QCoreApplication *app = QCoreApplication::instance();
    auto *qt = new QTranslator(app);
    // Qt's one Simplified translation, for Singapore as for China.
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                 QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(qt))
        return qt;
    delete qt;
    auto *chinese = new ChineseWords(app);
    QCoreApplication::installTranslator(chinese);
    return chinese;
}

} // namespace tapecalc
