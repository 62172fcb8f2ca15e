// The built-in dish models: 45 prime-focus models (no offset angle) and 16 offset models.
#pragma once

#include "pointing/results/PointingResult.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvast::pointing {

struct AntennaModel {
    std::string modelText; // brand "[" diameter "cm]"
    int offsetAngle = 0;   // hundredths of a degree; the list item's number
    int diameterCm = 0;    // the diameter the text names
    friend bool operator==(const AntennaModel&, const AntennaModel&) = default;
};

const std::vector<AntennaModel>& primeFocusCatalogue();
const std::vector<AntennaModel>& offsetCatalogue();
const std::vector<AntennaModel>& antennaCatalogueFor(FeedType feed);

// The model selected after every refill: "中卫[150cm]" or "中卫[60cm]".
int defaultAntennaIndex(FeedType feed);

// The item number of the model at `index`, 0 when there is none.
int antennaOffsetOf(const std::vector<AntennaModel>& models, int index);

// The position of a model text in a catalogue.
std::optional<int> antennaIndexOf(const std::vector<AntennaModel>& models,
                                  std::string_view modelText);

// The diameter of the model at `index`, 0 when there is none.
int antennaDiameterAt(const std::vector<AntennaModel>& models, int index);

// The offset an inverted offset dish turns around.
int signedOffsetOf(int antennaOffset, FeedType feed, Mounting mounting);

} // namespace zorvast::pointing
