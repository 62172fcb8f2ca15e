// Every fixed text the online update shows: message box captions and texts, the status line
// (normal mode), the DownloadWindow label (first-download mode) and the version field. UTF-8;
// the texts that carry a value are put together by the functions at the end.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zorvast::update {

// ---- message boxes -------------------------------------------------------------------------

inline constexpr const char* kCaptionError106 = "错误106";
inline constexpr const char* kCaptionError118 = "错误118";
inline constexpr const char* kCaptionError201 = "错误201";
inline constexpr const char* kCaptionError202 = "错误202";
inline constexpr const char* kCaptionError203 = "错误203";
inline constexpr const char* kCaptionError204 = "错误204";
inline constexpr const char* kCaptionError205 = "错误205";
inline constexpr const char* kCaptionError206 = "错误206";
inline constexpr const char* kCaptionError207 = "错误207";
inline constexpr const char* kCaptionNewProgramReady = "新版Zorvast下载完成";

inline constexpr const char* kTextDataUnreadable = "读数据错误，软件无法运行，即将退出。";
inline constexpr const char* kTextDelayedWriteFailed =
    "数据更新中发生读写错误，请稍后再次进入本软件，尝试自动恢复。";
inline constexpr const char* kTextDelayedReadFailed =
    "数据更新中发生读取错误，请稍后再次进入本软件，尝试自动恢复。";
inline constexpr const char* kTextRestartWriteFailed =
    "更新过程中写数据时失败，请检查C盘是否已满或有无读写权限。";
inline constexpr const char* kTextCityWriteFailed = "失败，写临时数据发生错误，软件将被迫退出。";
inline constexpr const char* kTextRestartHandOverUnreadable =
    "无法读取临时文件，请检查C盘是否已满或有无读写权限。";
inline constexpr const char* kTextReplaceFailed = "无法读取临时文件，升级失败，请稍后重试。";
inline constexpr const char* kTextInstallNewProgramNow =
    "软件更新已下载完毕，现在立即更换新版吗？(会自动退出并重新打开本软件)\r\n"
    "选 [取消]，则在下次打开本软件时再自动更新。";

// ---- the status line ----------------------------------------------------------------------

inline constexpr const char* kStatusSearching = "正在寻找更新..."; // appended
inline constexpr const char* kStatusNewDataFound = " ◎ 已找到新数据，正在下载...";
inline constexpr const char* kStatusStagedDataUnreadable =
    " ◎ 新数据无法打开，已保留现有数据，下次启动软件将重试。";
inline constexpr const char* kStatusConnectionFailed =
    " ◎ 连接服务器错误，已停止下载，下次运行将重试。";
inline constexpr const char* kStatusNoMirrorList =
    " ◎ 无法获取远程列表，下载已停止，下次启动软件将重试。";
inline constexpr const char* kStatusNewProgramFound = " ◎ 找到更新的软件版本，正在下载...";
inline constexpr const char* kStatusNoNewerProgram =
    " ◎ 服务器上没有比本软件更新的版本，无需更新。";
inline constexpr const char* kStatusProgramListFailed =
    " ◎ 读远程列表发生错误，更新软件失败，下次运行本软件自动重试...";
inline constexpr const char* kStatusNewProgramLater =
    " ◎ 本软件有新版，增加更多功能，下次打开时记得及时更新。";

// ---- the DownloadWindow label and button ---------------------------------------------------

inline constexpr const char* kLabelDownloading = "正在下载数据，请稍等...";
inline constexpr const char* kButtonCancelAndExit = "取消并退出";
inline constexpr const char* kLabelSearching = " ◎ 正在寻找更新...";
inline constexpr const char* kLabelDataFound = " ◎ 已找到数据，正在下载...";
inline constexpr const char* kLabelNoNewerData =
    "服务器上没有可用的新数据，无法运行软件，请稍后重试";
inline constexpr const char* kLabelConnectionFailed = "连接服务器错误，无法运行软件，请稍后重试";
inline constexpr const char* kLabelNoDataMirrorList = "无法获取远程列表，下载停止，请稍后再试";
inline constexpr const char* kLabelNewProgramFound = "找到新版软件，正在更新...";
inline constexpr const char* kLabelNoNewerProgram = "服务器上没有更新的软件版本，请退出稍后再试。";
inline constexpr const char* kLabelProgramListFailed = "读列表错误，更新失败，下次运行自动重试...";
inline constexpr const char* kLabelRetryLater = "请退出，稍后再次重试...";
inline constexpr const char* kLabelNewProgramLater = "请退出，稍后重新尝试进入。";
inline constexpr const char* kLabelUpdated = " ◎ 最新版本更新成功！";

// ---- texts with a value --------------------------------------------------------------------

// Status line: the local data is the newest; `dataDate` as the program shows it.
std::string statusDataIsCurrent(std::string_view dataDate);
// Status line: no server answered.
std::string statusNoServer(std::string_view dataDate);
// Status line: the servers had nothing newer than the local data.
std::string statusNoNewerData(std::string_view dataDate);
// Status line after a data apply, with the new data's date.
std::string statusNewDataDate(std::string_view dataDate);
std::string statusDelayedReplacement(std::string_view dataDate);
// Appended to the status line: the server's release statement was issued on `issued` and is
// older than `staleDays`.
std::string statusStaleStatement(std::chrono::year_month_day issued, int staleDays);

// Label: no server answered the first data check.
std::string labelNoServer();
// Label: the program package's mirror list gave no URL.
std::string labelNoProgramMirrorList();

// The version field beside the status line: no valid program version answer came, or the
// program is the newest.
std::string versionFieldUnchecked(std::string_view programVersion);
std::string versionFieldCurrent(std::string_view programVersion);

} // namespace zorvast::update
