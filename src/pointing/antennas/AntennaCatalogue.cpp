#include "pointing/antennas/AntennaCatalogue.h"

#include "common/Numbers.h"

#include <array>
#include <initializer_list>

namespace zorvast::pointing {

namespace {

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
            models.push_back(
                {std::string(range.brand) + "[" + std::to_string(diameter) + "cm]", 0});
        }
    }
    return models;
}

// Model text, then its offset angle as digits.
constexpr std::array<std::string_view, 32> kOffsetCatalogueTexts = {
    "中卫[35cm]",   "2462", "中卫[45cm]",   "2462", "中卫[55cm]",   "2462", "中卫[60cm]",    "2275",
    "中卫[75cm]",   "2275", "中卫[90cm]",   "2462", "中卫[100cm]",  "2462", "中卫[120cm]",   "2462",
    "中卫[150cm]",  "2462", "斯威克[35cm]", "2462", "斯威克[45cm]", "2412", "斯威克[55cm]",  "2356",
    "斯威克[60cm]", "2500", "斯威克[75cm]", "2270", "斯威克[90cm]", "2462", "斯威克[120cm]", "2364",
};

std::vector<AntennaModel> makeOffsetCatalogue() {
    std::vector<AntennaModel> models;
    for (std::size_t i = 0; i + 1 < kOffsetCatalogueTexts.size(); i += 2) {
        models.push_back(
            {std::string(kOffsetCatalogueTexts[i]),
             static_cast<int>(common::parseLeadingInteger(kOffsetCatalogueTexts[i + 1]))});
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

double antennaDiameterOf(std::string_view modelText) {
    const std::size_t open = modelText.find('[');
    const std::size_t unit = modelText.find("cm");
    if (open == std::string_view::npos || unit == std::string_view::npos || unit <= open) {
        return 0;
    }
    return common::parseLeadingNumber(modelText.substr(open + 1, unit - open - 1));
}

int signedOffsetOf(int antennaOffset, FeedType feed, Mounting mounting) {
    return feed == FeedType::Offset && mounting == Mounting::Inverted ? -antennaOffset
                                                                      : antennaOffset;
}

} // namespace zorvast::pointing
