#include "shell/startup/TabHints.h"

#include "common/ProgramVersion.h"
#include "shell/startup/LocalPagesStep.h"

namespace zorvast::shell {

std::string tabHintFor(int tabIndex, const std::filesystem::path& storedFile) {
    switch (tabIndex) {
    case 0: {
        const auto date = fileDateText(storedFile);
        return date ? " ◎ 欢迎使用Zorvast。现有数据日期：" + *date + "。"
                    : " ◎ 错误，检测不到任何可用数据。";
    }
    case 1:
        return " ◎ 提示：选择卫星后，请点击【显示结果】按钮查看参数列表。";
    case 2:
        return " ◎ 提示：选择地区并选择卫星后，立即会显示寻星数据和图表。";
    case 3:
    case 4:
        return " ◎ 提示：无";
    case 5:
    case 6:
        return " ◎ 提示：请单击列表中的题目查看资料内容。";
    case 7:
        return " ◎ 提示：请单击列表中题目查看详细交易内容。";
    case 8:
        return " ◎ 提示：请单击列表中的题目查看详细内容。";
    default:
        return {};
    }
}

std::string tabVersionText() {
    return "§版号: " + std::string(common::programVersion()) + " ";
}

} // namespace zorvast::shell
