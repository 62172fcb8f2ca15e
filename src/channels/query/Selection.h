// The choices of the lists of "组合条件：" as values, and the one table of their item texts. The
// lists are filled from the table in its order, so a choice's value is its item's index; the
// texts are also what the summary says and what a terminal types.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorvast::channels {

enum class Band { All, Ku, C };
enum class Polarisation { All, Horizontal, Vertical };
enum class Access { All, Free, Encrypted };
// The programme kinds of the format list. From StandardTelevision on, a kind's item text is
// also its `s_sys` value.
enum class ProgrammeKind {
    Everything,
    Television, // every kind but radio and data
    StandardTelevision,
    HighDefinitionTelevision,
    TestOrFeed,
    Radio,
    Data,
};

// One list's item texts in list order and the choice selected at start.
template <typename Choice> struct ChoiceTable;

template <> struct ChoiceTable<Band> {
    static constexpr std::array<std::string_view, 3> labels = {"全部", "Ku", "C"};
    static constexpr Band initial = Band::All;
};

template <> struct ChoiceTable<Polarisation> {
    static constexpr std::array<std::string_view, 3> labels = {"全部", "水平(H)", "垂直(V)"};
    static constexpr Polarisation initial = Polarisation::All;
};

template <> struct ChoiceTable<Access> {
    static constexpr std::array<std::string_view, 3> labels = {"全部", "免费", "加密"};
    static constexpr Access initial = Access::All;
};

template <> struct ChoiceTable<ProgrammeKind> {
    static constexpr std::array<std::string_view, 7> labels = {
        "全部显示", "所有电视", "标清电视", "高清电视", "测试或临传", "广播", "数据"};
    static constexpr ProgrammeKind initial = ProgrammeKind::Television;
};

static_assert(ChoiceTable<Band>::labels.size() == static_cast<std::size_t>(Band::C) + 1);
static_assert(ChoiceTable<Polarisation>::labels.size() ==
              static_cast<std::size_t>(Polarisation::Vertical) + 1);
static_assert(ChoiceTable<Access>::labels.size() ==
              static_cast<std::size_t>(Access::Encrypted) + 1);
static_assert(ChoiceTable<ProgrammeKind>::labels.size() ==
              static_cast<std::size_t>(ProgrammeKind::Data) + 1);

// What a list is filled with.
struct ChoiceItems {
    std::span<const std::string_view> labels;
    int initial = 0; // index of the item selected at start
};

template <typename Choice> constexpr ChoiceItems choiceItems() {
    return {ChoiceTable<Choice>::labels, static_cast<int>(ChoiceTable<Choice>::initial)};
}

template <typename Choice> constexpr std::string_view labelOf(Choice choice) {
    return ChoiceTable<Choice>::labels[static_cast<std::size_t>(choice)];
}

// The choice whose item text is exactly `label`.
template <typename Choice> constexpr std::optional<Choice> choiceOf(std::string_view label) {
    const auto& labels = ChoiceTable<Choice>::labels;
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (labels[i] == label) {
            return static_cast<Choice>(i);
        }
    }
    return std::nullopt;
}

// The item texts joined by `separator`, in list order.
template <typename Choice> std::string joinedLabels(std::string_view separator) {
    std::string out;
    bool first = true;
    for (std::string_view label : ChoiceTable<Choice>::labels) {
        out.append(first ? std::string_view() : separator);
        out.append(label);
        first = false;
    }
    return out;
}

// An item of the satellite list, "E115.5（中星6B）", read once: the position code before the
// first "（" and the name between it and the first "）" (see satelliteCodeOf).
struct SatelliteChoice {
    std::string code;
    std::string name;
};

// The text before the first "（" / between the first "（" and the first "）". Without a "（"
// both are empty; without a "）" after it the name runs to the end of the item.
std::string satelliteCodeOf(std::string_view item);
std::string satelliteNameOf(std::string_view item);
SatelliteChoice satelliteChoiceOf(std::string_view item);

// The five lists of "组合条件：".
struct CombinedSelection {
    SatelliteChoice satellite;
    Band band = ChoiceTable<Band>::initial;
    Polarisation polarisation = ChoiceTable<Polarisation>::initial;
    Access access = ChoiceTable<Access>::initial;
    ProgrammeKind kind = ChoiceTable<ProgrammeKind>::initial;
};

} // namespace zorvast::channels
