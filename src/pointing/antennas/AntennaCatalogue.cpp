#include "pointing/antennas/AntennaCatalogue.h"

#include <initializer_list>

namespace zorvast::pointing {

namespace {

std::string modelTextOf(std::string_view brand, int diameter) {
    return std::string(brand) + "[" + std::to_string(diameter) + "cm]";
}

struct BrandRange {
    std::string_view brand;
    std::initializer_list<int> diameters;
};

std::vector<AntennaModel> makePrimeFocusCatalogue() {
    const BrandRange brands[] = {
        {"中卫", {120, 135, 150, 180, 210, 240, 320, 420}},
        {"斯威克", {120, 150, 180, 200, 240, 300, 320, 350, 450}},
        {"三威", {120, 135, 150, 180, 210, 240}},
        {"其它", {90,  100, 110, 120, 135, 150, 180, 200, 210, 240, 250,
                  280, 300, 320, 350, 380, 420, 450, 480, 500, 550, 600}},
    };
    std::vector<AntennaModel> models;
    for (const BrandRange& range : brands) {
        for (int diameter : range.diameters) {
            models.push_back({modelTextOf(range.brand, diameter), 0, diameter});
        }
    }
    return models;
}

struct OffsetModel {
    std::string_view brand;
    int diameter; // cm
    int offset;   // hundredths of a degree
};

constexpr OffsetModel kOffsetModels[] = {
    {"中卫", 35, 2462},   {"中卫", 45, 2462},   {"中卫", 55, 2462},   {"中卫", 60, 2275},
    {"中卫", 75, 2275},   {"中卫", 90, 2462},   {"中卫", 100, 2462},  {"中卫", 120, 2462},
    {"中卫", 150, 2462},  {"斯威克", 35, 2462}, {"斯威克", 45, 2412}, {"斯威克", 55, 2356},
    {"斯威克", 60, 2500}, {"斯威克", 75, 2270}, {"斯威克", 90, 2462}, {"斯威克", 120, 2364},
};

std::vector<AntennaModel> makeOffsetCatalogue() {
    std::vector<AntennaModel> models;
    for (const OffsetModel& model : kOffsetModels) {
        models.push_back({modelTextOf(model.brand, model.diameter), model.offset, model.diameter});
    }
    return models;
}

} // namespace

const std::vector<AntennaModel>& primeFocusCatalogue() {
    static const std::vector<AntennaModel> models = makePrimeFocusCatalogue();
    return models;
}

const std::vector<AntennaModel>& offsetCatalogue() {
    static const std::vector<AntennaModel> models = makeOffsetCatalogue();
    return models;
}

const std::vector<AntennaModel>& antennaCatalogueFor(FeedType feed) {
    return feed == FeedType::PrimeFocus ? primeFocusCatalogue() : offsetCatalogue();
}

int defaultAntennaIndex(FeedType feed) {
    return feed == FeedType::PrimeFocus ? 2 : 3;
}

int antennaOffsetOf(const std::vector<AntennaModel>& models, int index) {
    if (index < 0 || index >= static_cast<int>(models.size())) {
        return 0;
    }
    return models[static_cast<std::size_t>(index)].offsetAngle;
}

std::optional<int> antennaIndexOf(const std::vector<AntennaModel>& models,
                                  std::string_view modelText) {
    for (std::size_t i = 0; i < models.size(); ++i) {
        if (models[i].modelText == modelText) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

int antennaDiameterAt(const std::vector<AntennaModel>& models, int index) {
    if (index < 0 || index >= static_cast<int>(models.size())) {
        return 0;
    }
    return models[static_cast<std::size_t>(index)].diameterCm;
}

int signedOffsetOf(int antennaOffset, FeedType feed, Mounting mounting) {
    return feed == FeedType::Offset && mounting == Mounting::Inverted ? -antennaOffset
                                                                      : antennaOffset;
}

} // namespace zorvast::pointing
