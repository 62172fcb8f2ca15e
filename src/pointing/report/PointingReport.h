// The pointing report: what the pointing tab shows, as plain text with CR LF line ends
// (UTF-8 here; written out as GBK).
#pragma once

#include "pointing/Messages.h"
#include "pointing/results/PointingResult.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zorvast::pointing {

struct ReportInputs {
    std::string province;
    std::string city;
    std::string satellite; // the pointing list's item text
    std::string antenna;   // the model list's item text
    FeedType feed = FeedType::PrimeFocus;
    Mounting mounting = Mounting::Upright;
    bool declinationCorrection = false;
};

std::string buildPointingReport(const ReportInputs& inputs, const PointingResult& result);

// The report as it is saved or copied: followed by an empty line.
std::string exportedReportText(const std::string& report);

// The box that answers a save: its caption, its text and whether it warns.
struct SaveNotice {
    std::string_view caption;
    std::string text;
    bool warning = false;
};

// Writes `bytes` to the chosen file (nothing when the user chose none) and says how it went.
SaveNotice saveExport(const std::optional<std::filesystem::path>& file, std::string_view bytes);

} // namespace zorvast::pointing
