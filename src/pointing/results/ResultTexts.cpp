#include "pointing/results/ResultTexts.h"

#include "common/Numbers.h"
#include "pointing/Messages.h"

#include <cmath>

namespace zorvast::pointing {

using common::decimalRound;
using common::formatDouble;
using common::formatInteger;

std::string ResultAngle::text() const {
    switch (state_) {
    case State::Value:
        return formatDouble(value_);
    case State::NotVisible:
        return std::string(kNotVisible);
    case State::Empty:
        break;
    }
    return {};
}

std::string southSideOf(double bearing) {
    if (common::greaterThan(bearing, 180)) {
        return "南偏西";
    }
    if (std::fabs(bearing - 180) > common::comparisonTolerance) {
        return "南偏东";
    }
    return "正南";
}

std::string southOffsetOf(double bearing) {
    return formatDouble(decimalRound(std::fabs(bearing - 180), 1));
}

WatchTexts watchTextsOf(double bearing) {
    double m = decimalRound((bearing - 180) / 30, 1);
    if (common::lessOrEqual(m, 0)) {
        m += 12;
    }
    long long h = common::truncateToInteger(m);
    const double minutes = decimalRound((m - static_cast<double>(h)) * 60, 1);
    if (h == 0) {
        h = 12;
    }
    WatchTexts texts;
    texts.clock = formatInteger(h);
    if (h < 10) {
        texts.clock.insert(texts.clock.begin(), '0');
    }
    texts.clock += common::greaterOrEqual(minutes, 10) ? ":" : ":0";
    texts.clock += formatDouble(minutes);
    if (common::greaterThan(minutes, 45) && common::lessThan(minutes, 60)) {
        h = h + 1 == 13 ? 1 : h + 1;
    }
    const bool half = common::greaterOrEqual(minutes, 15) && common::lessOrEqual(minutes, 45);
    texts.watchHour = formatInteger(h);
    texts.watchHour += half ? "点半" : "点整";
    return texts;
}

double droopOf(double elevation, int signedOffset) {
    const double q = decimalRound((elevation * 100 - signedOffset) / 100, 1);
    return std::trunc(q * 10) / 10;
}

LnbSector lnbSectorOf(double polarisation) {
    const double p = decimalRound(polarisation, 0);
    if (common::greaterOrEqual(p, -5) && common::lessOrEqual(p, 5)) {
        return LnbSector::Diagonal;
    }
    if (p > 0) {
        if (common::lessOrEqual(p, 39)) {
            return LnbSector::PositiveNear;
        }
        if (common::lessOrEqual(p, 49)) {
            return LnbSector::PositiveStraight;
        }
        return LnbSector::PositiveFar;
    }
    if (common::greaterOrEqual(p, -39)) {
        return LnbSector::NegativeNear;
    }
    if (common::greaterOrEqual(p, -49)) {
        return LnbSector::NegativeStraight;
    }
    return LnbSector::NegativeFar;
}

std::string lnbDirectionOf(double polarisation, FeedType feed) {
    const bool prime = feed == FeedType::PrimeFocus;
    switch (lnbSectorOf(polarisation)) {
    case LnbSector::Diagonal:
        return prime ? "左上45°" : "右下45°";
    case LnbSector::PositiveNear:
        return prime ? "上方偏左" : "下方偏右";
    case LnbSector::PositiveStraight:
        return prime ? "正上方" : "正下方";
    case LnbSector::PositiveFar:
        return prime ? "上方偏右" : "下方偏左";
    case LnbSector::NegativeNear:
        return prime ? "左方偏上" : "右方偏下";
    case LnbSector::NegativeStraight:
        return prime ? "正左方" : "正右方";
    case LnbSector::NegativeFar:
        break;
    }
    return prime ? "左方偏下" : "右方偏上";
}

std::string_view lnbReferencePartOf(FeedType feed) {
    return feed == FeedType::PrimeFocus ? "电路盒方向" : "Ｆ头方向";
}

std::string composeResultTexts(PointingResult& result, FeedType feed) {
    if (feed == FeedType::Offset && result.elevationVisible()) {
        result.droop = droopOf(result.elevation.value(), result.signedOffset);
        result.droopAngle = formatDouble(result.droop);
    }
    std::string clock;
    if (result.azimuthVisible()) {
        const double bearing = result.compassBearing;
        result.southSide = southSideOf(bearing);
        result.southOffset = southOffsetOf(bearing);
        result.compassText = common::formatSingle(result.compassBearing);
        WatchTexts watch = watchTextsOf(bearing);
        result.watchHour = std::move(watch.watchHour);
        clock = std::move(watch.clock);
    }
    result.lnbDirection = lnbDirectionOf(result.polarisation.value(), feed);
    result.lnbReferencePart = std::string(lnbReferencePartOf(feed));
    return clock;
}

} // namespace zorvast::pointing
