// The window's words, outcome by outcome.
#include "ui/messages.h"

#include "core/tapeformat.h"

#include <QDir>
#include <QStringList>

namespace tapecalc {

namespace {

// "a、b、c", or the first ten and the count of all.
QString nameList(const QStringList &names) {
    constexpr qsizetype shown = 10;
    if (names.size() <= shown)
        return names.join(QStringLiteral("、"));
    return names.mid(0, shown).join(QStringLiteral("、")) +
           QStringLiteral(" 等 %1 个").arg(names.size());
}

} // namespace

Said said(Message message) {
    switch (message) {
    case Message::squareRootOfNegative:
        return {Tell::message, QStringLiteral("负数不能开平方")};
    case Message::logarithmOfZero:
        return {Tell::message, QStringLiteral("0不能求对数")};
    case Message::logarithmOfNegative:
        return {Tell::message, QStringLiteral("负数不能求对数")};
    case Message::tapeFull:
        return {Tell::warning, QStringLiteral("纸带已满（%1 行），请保存后清零").arg(tapeSlots)};
    }
    return {};
}

Said said(TapeJournal::Health health) {
    switch (health) {
    case TapeJournal::Health::keepsUp:
        return {Tell::notice, QStringLiteral("未保存的纸带又能自动保留了")};
    case TapeJournal::Health::diskFull:
        return {Tell::notice, QStringLiteral("磁盘已满，未保存的纸带无法自动保留")};
    case TapeJournal::Health::cannotWrite:
        return {Tell::notice, QStringLiteral("数据文件夹无法写入，未保存的纸带无法自动保留")};
    case TapeJournal::Health::tooLong:
        return {Tell::notice, QStringLiteral("纸带太长，未保存的纸带无法自动保留")};
    }
    return {};
}

Said said(const Recovery &recovery) {
    // One message for the whole start, however many copies ended without saving.
    const std::pair<const QStringList &, QString> named[] = {
        {recovery.tapes, QStringLiteral("上次未保存的纸带已恢复为：")},
        {recovery.left, QStringLiteral("数据文件夹中有无法读取的纸带记录，已原样留下：")},
        {recovery.tooLarge,
         QStringLiteral("上次未保存的纸带太大，无法存为纸带文件，纸带记录已原样留下：")},
        {recovery.rowTooLong,
         QStringLiteral("上次未保存的纸带中有的行太长，无法存为纸带文件，纸带记录已原样留下：")}};
    QStringList lines;
    for (const auto &[names, words] : named)
        if (!names.isEmpty())
            lines << words + nameList(names);
    if (lines.isEmpty())
        return {};
    const bool allRecovered =
        recovery.left.isEmpty() && recovery.tooLarge.isEmpty() && recovery.rowTooLong.isEmpty();
    return {allRecovered ? Tell::message : Tell::warning, lines.join(QLatin1Char('\n'))};
}

Said said(SaveOutcome outcome, const QString &savedAs) {
    switch (outcome) {
    case SaveOutcome::savedNew:
    case SaveOutcome::savedBack:
        return {};
    case SaveOutcome::savedNewFileChanged:
        return {Tell::warning, QStringLiteral("文件已被其他程序修改，已另存为：") + savedAs};
    case SaveOutcome::savedNewFileReadOnly:
        return {Tell::warning, QStringLiteral("原文件不能写入，已另存为：") + savedAs};
    case SaveOutcome::savedNewFilePartial:
        return {Tell::warning, QStringLiteral("文件没有完整打开，已另存为：") + savedAs};
    case SaveOutcome::failed:
        return {Tell::warning, QStringLiteral("保存失败")};
    // Such a file would not open again: the tape stays on the screen, unsaved.
    case SaveOutcome::refusedTooLarge:
        return {Tell::warning,
                QStringLiteral("纸带太大，无法保存：纸带文件最大 %1 MB，请删去一些行后再保存")
                    .arg(largestTapeFile / (1024 * 1024))};
    case SaveOutcome::refusedRowTooLong:
        return {
            Tell::warning,
            QStringLiteral("纸带中有的行太长，无法保存：每行最多 %1 个字符").arg(longestTapeRow)};
    }
    return {};
}

Said said(OpenOutcome outcome, const QString &name, int linesLeftOut) {
    switch (outcome) {
    case OpenOutcome::opened:
        if (linesLeftOut == 0)
            return {};
        return {Tell::warning, QStringLiteral("纸带最多 %1 行，文件中其余 %2 行没有打开")
                                   .arg(tapeSlots)
                                   .arg(linesLeftOut)};
    case OpenOutcome::noName:
        return {};
    case OpenOutcome::notATape:
        return {Tell::warning, QStringLiteral("不是纸带文件：") + name};
    case OpenOutcome::tooLarge:
        return {Tell::warning, QStringLiteral("文件太大，不是纸带文件：") + name};
    case OpenOutcome::rowTooLong:
        return {Tell::warning, QStringLiteral("文件中有的行太大，不是纸带文件：") + name};
    case OpenOutcome::unreadable:
        return {Tell::warning, QStringLiteral("无法读取文件：") + name};
    }
    return {};
}

Said said(DeleteOutcome outcome, const QString &name) {
    switch (outcome) {
    case DeleteOutcome::nothingSelected:
    case DeleteOutcome::trashed:
    case DeleteOutcome::deletedForGood:
    case DeleteOutcome::declined: // the answer was to keep it: nothing more to say
        return {};
    case DeleteOutcome::failed:
        return {Tell::warning, QStringLiteral("删除失败：") + name};
    }
    return {};
}

Said said(PrintOutcome outcome, const QString &pdf, bool late) {
    const bool noPrinter = outcome == PrintOutcome::noPrinter;
    if (outcome == PrintOutcome::printed)
        return {};
    if (pdf.isEmpty())
        return {Tell::warning, noPrinter ? QStringLiteral("没有找到打印机，也无法存为 PDF")
                                         : QStringLiteral("打印失败，也无法存为 PDF")};
    const QString where = QDir::toNativeSeparators(pdf);
    if (noPrinter)
        return {Tell::message, QStringLiteral("没有找到打印机，已存为 PDF：") + where};
    // A late failure: the window has moved on, so there is nothing to dismiss.
    return {late ? Tell::notice : Tell::warning, QStringLiteral("打印失败，已存为 PDF：") + where};
}

Said rowFull() {
    return {Tell::notice,
            QStringLiteral("纸带每行最多 %1 个字符，这一行不能再长了").arg(longestTapeRow)};
}

Said noBrowser(const QString &page) {
    return {Tell::message,
            QStringLiteral("没有找到浏览器。帮助网页在：") + QDir::toNativeSeparators(page)};
}

Said endsOncePrinted() {
    return {Tell::notice, QStringLiteral("正在打印，有结果后自动退出")};
}

Said notDeletedForGood(const QString &name) {
    return {Tell::warning, QStringLiteral("无法移到回收站，没有删除：") + name};
}

} // namespace tapecalc
