#include "update/Messages.h"

#include "channels/query/TableExport.h"

namespace zorvast::update {

namespace {

std::string joined(std::string_view before, std::string_view value, std::string_view after = {}) {
    std::string text(before);
    text.append(value).append(after);
    return text;
}

} // namespace

std::string statusDataIsCurrent(std::string_view dataDate) {
    return joined(" ◎ 现有数据日期：", dataDate, "，此数据是最新版，无需更新。");
}

std::string statusNoServer(std::string_view dataDate) {
    return joined("◎ 无法连接服务器，更新数据失败。现有数据：", dataDate);
}

std::string statusNoNewerData(std::string_view dataDate) {
    return joined(" ◎ 服务器上没有比现有数据更新的版本，现有数据日期：", dataDate, "。");
}

std::string statusNewDataDate(std::string_view dataDate) {
    return joined(" ◎ 最新数据日期：", dataDate, "。");
}

std::string statusDelayedReplacement(std::string_view dataDate) {
    return joined(" ◎ 数据已延迟替换，最新数据日期：", dataDate, "。");
}

std::string statusStaleStatement(std::chrono::year_month_day issued, int staleDays) {
    return " ◎ 注意：服务器的版本声明签发于" + std::to_string(int(issued.year())) + "年" +
           std::to_string(unsigned(issued.month())) + "月" +
           std::to_string(unsigned(issued.day())) + "日，已超过" + std::to_string(staleDays) +
           "天未更新，数据服务器可能已停止更新。";
}

std::string labelNoServer() {
    return joined("下载失败！无法运行，请退出稍后再试，或进入", channels::kMakerDomain,
                  "下载最新版本。");
}

std::string labelNoProgramMirrorList() {
    return joined("无法获取远程列表，下载停止，请稍后再试，或进入", channels::kMakerDomain,
                  "下载最新版本");
}

std::string versionFieldUnchecked(std::string_view programVersion) {
    return joined("§Ver：", programVersion, " ");
}

std::string versionFieldCurrent(std::string_view programVersion) {
    return joined("§版本 ", programVersion, "  ");
}

} // namespace zorvast::update
