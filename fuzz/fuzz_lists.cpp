// The latest-channel and SNG lists from hostile bytes, as a server page and as the cache file:
// every cell written must be inside the grid and hold well-formed UTF-8.
#include "FuzzSupport.h"

#include "common/Text.h"
#include "info/lists/NewsLists.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

using namespace zorvast;

namespace {

class CheckingSink : public info::ListSink {
public:
    void setCell(int row, int column, const std::string& text) override {
        fuzz::check(row >= 1 && row <= info::kNewsGridRows, "a cell row outside the grid");
        fuzz::check(column >= 1 && column <= info::kNewsGridColumns,
                    "a cell column outside the grid");
        fuzz::check(fuzz::isValidUtf8(text), "a cell text that is not UTF-8");
        ++cells;
    }
    void shadeRow(int row, common::Rgb) override {
        fuzz::check(row >= 1 && row <= info::kNewsGridRows, "a shaded row outside the grid");
    }
    int cells = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path work = fuzz::scratchFolder();

    // An incomplete page falls back to the cache file: give it the same bytes.
    for (info::ListKind kind : {info::ListKind::LatestChannels, info::ListKind::Sng}) {
        const info::ListLayout& layout = info::listLayout(kind);
        fuzz::writeScratchFile(work / layout.cacheFile, bytes);
        info::ListSources sources;
        sources.serverReached = true;
        sources.serverRoot = "http://127.0.0.1:9/";
        sources.fetch = [&bytes](const std::string&) {
            return bytes;
        };
        sources.workFolder = work;
        CheckingSink sink;
        info::loadList(kind, sources, sink);
        fuzz::check(sink.cells >= 2 * layout.entryCount, "an entry row left unwritten");
    }

    const common::Gbk text{bytes};
    std::size_t total = 0;
    for (const common::Gbk& entry : info::splitListText(text)) {
        total += entry.size();
        fuzz::check(fuzz::isValidUtf8(common::fromGbk(entry)), "an entry that is not UTF-8");
    }
    fuzz::check(total <= bytes.size(), "entries longer than the text");
    if (info::isCompleteServerPage(text)) {
        fuzz::check(std::string_view(bytes).ends_with(info::kEndMarkGbk),
                    "a complete page without the end mark");
    }
    return 0;
}
