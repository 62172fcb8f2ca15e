// The fixed texts the channel database and the parameter tab show: message-box captions and
// messages, progress words, status-line texts and the no-result cells. Summaries are patterns
// whose "{name}" parts are filled in by the query (ChannelQuery.cpp).
#pragma once

namespace zorvast::channels::messages {

// --- captions

// The combined query, the channel search and the provider search cannot build the working copy.
inline constexpr const char* kCaptionError102 = "错误102";
inline constexpr const char* kCaptionError103 = "错误103";
inline constexpr const char* kCaptionError104 = "错误104";
// A search, and the combined query, find the database still busy.
inline constexpr const char* kCaptionError106 = "错误106";
inline constexpr const char* kCaptionError116 = "错误116";
// The channel-name box refused its text.
inline constexpr const char* kCaptionInputError = "输入错误";
// The three export buttons.
inline constexpr const char* kCaptionSaveFailed = "保存失败";
inline constexpr const char* kCaptionSaved = "保存成功";
inline constexpr const char* kCaptionCopyFailed = "复制失败";
inline constexpr const char* kCaptionCopied = "复制成功";
inline constexpr const char* kCaptionRowCopied = "成功";
inline constexpr const char* kCaptionRowNotCopied = "失败";

// --- messages

// The working copy cannot be built: the program ends after it.
inline constexpr const char* kReadFailureText = "读数据发生错误，软件将退出！请重新下载后再重试。";
// Another access to the database is still running after the wait.
inline constexpr const char* kBusyText = "上一次数据访问未完成，稍候请再重试。";

// The channel-name box, measured in GBK bytes.
inline constexpr const char* kSearchTextEmptyText = "输入的频道名不能为空！";
inline constexpr const char* kSearchTextTooShortText =
    "输入的频道名太短，请重新输入！\r\n（不能小于3个字母或2个汉字）";
inline constexpr const char* kSearchTextTooLongText =
    "输入的频道名太长，请重新输入！\r\n（不能大于50个字母或25个汉字）";

// The export buttons; the saved message is followed by the file's path, the write failure by
// the path, CR LF and the reason.
inline constexpr const char* kNothingToSaveText =
    "没有任何频道信息可以被保存，请重新选择列表里的显示条件。";
inline constexpr const char* kNothingToCopyText =
    "没有任何频道信息被复制到剪贴板，请重新选择列表显示条件。";
inline constexpr const char* kTableSavedText = "已保存成功，生成的目标文件是：";
inline constexpr const char* kNoFileNameText = "文件名不能为空，请重新填写。";
inline constexpr const char* kCannotWriteFileText = "无法写入文件：";
inline constexpr const char* kTableCopiedText = "资料复制到剪切板成功，请粘贴到其它软件中查看。";
inline constexpr const char* kRowCopiedText = "资料已复制到剪切板成功，请粘贴到其它软件中查看。";
inline constexpr const char* kRowNotCopiedText =
    "没有任何频道信息被复制到剪贴板，请在表中重新选择频道";

// --- progress words (the small text of the bottom line)

inline constexpr const char* kReadingProgressText = "读取进度：";
inline constexpr const char* kSearchingProgressText = "搜索进度：";
inline constexpr const char* kArrangingProgressText = "整理显示...";
inline constexpr const char* kReadDoneText = "读数据完成！";
inline constexpr const char* kSearchDoneText = "搜索完成！";

// --- the status line

// {n} is the filtered count, fillers included; {degrees} the position code without its
// hemisphere letter; the lists' item texts as shown; {name} the satellite's name.
inline constexpr const char* kCombinedSummaryPattern =
    " ◎ 总计{n}个频道，是东经{degrees}度卫星，{band}波段，{polarisation}极化，{access}的"
    "{kind}节目。\r\n\r\n ◎ 卫星名称：{name}";
inline constexpr const char* kChannelSearchSummaryPattern =
    " ◎ 共找到{n}个频道。是：搜索【{text}】后的结果。";
inline constexpr const char* kProviderSearchSummaryPattern =
    " ◎ 共找到{n}个频道。是：查找叫【{provider}】的节目提供商后的结果。";
inline constexpr const char* kCombinedNoResultStatus =
    " ● 没有任何记录存在，也请重新检查组合条件是否有问题！";
inline constexpr const char* kSearchNoResultStatus =
    " ● 没有找到任何频道，同时也请重新检查输入的文字是否有问题！";

// --- the no-result cell of the grid

inline constexpr const char* kNoRecordCellText = "（无记录）";
inline constexpr const char* kNothingFoundCellText = "（没有找到任何记录）";

} // namespace zorvast::channels::messages
