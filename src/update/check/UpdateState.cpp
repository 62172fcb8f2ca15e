#include "update/check/UpdateState.h"

#include <cstdlib>
#include <random>

namespace zorvast::update {

namespace {

const common::Gbk kSeparator = common::toGbk("，");
const common::Gbk kFullWidthSpace = common::toGbk("　");

bool isSpaceAt(const std::string& bytes, std::size_t position, std::size_t length) {
    if (length == 1) {
        return bytes[position] == ' ';
    }
    return length == 2 && bytes.compare(position, 2, kFullWidthSpace.bytes) == 0;
}

} // namespace

std::vector<std::string> parseServerList(std::string_view commaSeparated) {
    std::vector<std::string> servers;
    while (true) {
        const std::size_t comma = commaSeparated.find(',');
        const std::string_view item = commaSeparated.substr(0, comma);
        if (!item.empty()) {
            servers.emplace_back(item);
        }
        if (comma == std::string_view::npos) {
            break;
        }
        commaSeparated.remove_prefix(comma + 1);
    }
    return servers;
}

std::vector<std::string> dataServerList() {
    if (const char* value = std::getenv(kDataServersVariable)) {
        std::vector<std::string> servers = parseServerList(value);
        if (!servers.empty()) {
            return servers;
        }
    }
    return {std::begin(kDataServers), std::end(kDataServers)};
}

common::Gbk trimSpaces(const common::Gbk& text) {
    const std::string& bytes = text.bytes;
    std::size_t begin = 0;
    std::size_t end = 0; // one past the last character that is not a space
    bool leading = true;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = common::gbkCharacterLength(bytes, at);
        const bool space = isSpaceAt(bytes, at, length);
        if (leading && space) {
            begin = at + length;
        } else if (!space) {
            leading = false;
            end = at + length;
        }
        at += length;
    }
    if (leading) {
        return {};
    }
    return {bytes.substr(begin, end - begin)};
}

std::vector<std::string> splitMirrorList(const common::Gbk& body) {
    std::vector<std::string> entries;
    if (body.empty()) {
        return entries;
    }
    std::vector<common::Gbk> pieces = common::splitGbk(body, kSeparator);
    // What follows a trailing separator is not an entry.
    if (pieces.size() > 1 && pieces.back().empty()) {
        pieces.pop_back();
    }
    for (const common::Gbk& piece : pieces) {
        entries.push_back(common::fromGbk(trimSpaces(piece)));
    }
    return entries;
}

RandomDraw systemRandomDraw() {
    return [](int count) {
        thread_local std::mt19937 generator{std::random_device{}()};
        return std::uniform_int_distribution<int>(1, count)(generator);
    };
}

std::vector<std::string> shuffleMirrors(std::vector<std::string> entries, const RandomDraw& draw) {
    const int count = static_cast<int>(entries.size());
    if (count < 2) {
        return entries;
    }
    std::vector<bool> seen(entries.size(), false);
    std::vector<std::string> shuffled;
    shuffled.reserve(entries.size());
    while (static_cast<int>(shuffled.size()) < count) {
        const int position = draw(count);
        if (position < 1 || position > count || seen[static_cast<std::size_t>(position - 1)]) {
            continue;
        }
        seen[static_cast<std::size_t>(position - 1)] = true;
        shuffled.push_back(std::move(entries[static_cast<std::size_t>(position - 1)]));
    }
    return shuffled;
}

UpdateState::UpdateState() {
    reset(dataServerList());
}

void UpdateState::reset(const std::vector<std::string>& servers) {
    serverReached = false;
    transferRunning = false;
    dataDownloadActive = false;
    softwareDownloadActive = false;
    listsPending = false;
    totalBytes = 0.0;
    mirrorIndex = 0;
    transferEnd = TransferEnd::None;
    releaseRefused = false;
    staleStatementShown = false;
    std::lock_guard lock(mutex_);
    serverBase_ = servers.empty() ? std::string() : servers.front();
    serverRoot_.clear();
    announcedDataVersion_ = {};
    announcedProgramVersion_ = {};
    statement_.reset();
    mirrorList_.clear();
}

std::string UpdateState::serverBase() const {
    return read(serverBase_);
}

void UpdateState::setServerBase(std::string base) {
    write(serverBase_, std::move(base));
}

std::string UpdateState::serverRoot() const {
    return read(serverRoot_);
}

void UpdateState::setServerRoot(std::string root) {
    write(serverRoot_, std::move(root));
}

Version UpdateState::announcedDataVersion() const {
    return read(announcedDataVersion_);
}

void UpdateState::setAnnouncedDataVersion(Version version) {
    write(announcedDataVersion_, std::move(version));
}

Version UpdateState::announcedProgramVersion() const {
    return read(announcedProgramVersion_);
}

void UpdateState::setAnnouncedProgramVersion(Version version) {
    write(announcedProgramVersion_, std::move(version));
}

std::optional<ReleaseStatement> UpdateState::statement() const {
    return read(statement_);
}

void UpdateState::setStatement(std::optional<ReleaseStatement> statement) {
    write(statement_, std::move(statement));
}

std::vector<std::string> UpdateState::mirrorList() const {
    return read(mirrorList_);
}

void UpdateState::setMirrorList(std::vector<std::string> entries) {
    write(mirrorList_, std::move(entries));
}

int UpdateState::mirrorCount() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(mirrorList_.size());
}

std::string UpdateState::mirrorAt(int oneBasedIndex) const {
    std::lock_guard lock(mutex_);
    if (oneBasedIndex < 1 || oneBasedIndex > static_cast<int>(mirrorList_.size())) {
        return {};
    }
    return mirrorList_[static_cast<std::size_t>(oneBasedIndex - 1)];
}

std::vector<std::string> readMirrorList(UpdateState& state,
                                        const std::function<std::string(const std::string&)>& fetch,
                                        const std::string& path, const RandomDraw& draw) {
    state.mirrorIndex = 1;
    const std::string body = fetch ? fetch(state.serverBase() + path) : std::string();
    std::vector<std::string> entries =
        shuffleMirrors(splitMirrorList(common::Gbk{body}), draw ? draw : systemRandomDraw());
    state.setMirrorList(entries);
    return entries;
}

} // namespace zorvast::update
