#include "pointing/antennas/AntennaCatalogue.h"
#include "pointing/report/PointingReport.h"
#include "pointing/report/SatelliteInfo.h"

#include "common/Files.h"
#include "support/ResultLabels.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorvast::pointing {
namespace {

using testing::TempFolder;

TEST(AntennaCatalogue, PrimeFocusModels) {
    const char* const expected[] = {
        "中卫[120cm]",   "中卫[135cm]",   "中卫[150cm]",   "中卫[180cm]",   "中卫[210cm]",
        "中卫[240cm]",   "中卫[320cm]",   "中卫[420cm]",   "斯威克[120cm]", "斯威克[150cm]",
        "斯威克[180cm]", "斯威克[200cm]", "斯威克[240cm]", "斯威克[300cm]", "斯威克[320cm]",
        "斯威克[350cm]", "斯威克[450cm]", "三威[120cm]",   "三威[135cm]",   "三威[150cm]",
        "三威[180cm]",   "三威[210cm]",   "三威[240cm]",   "其它[90cm]",    "其它[100cm]",
        "其它[110cm]",   "其它[120cm]",   "其它[135cm]",   "其它[150cm]",   "其它[180cm]",
        "其它[200cm]",   "其它[210cm]",   "其它[240cm]",   "其它[250cm]",   "其它[280cm]",
        "其它[300cm]",   "其它[320cm]",   "其它[350cm]",   "其它[380cm]",   "其它[420cm]",
        "其它[450cm]",   "其它[480cm]",   "其它[500cm]",   "其它[550cm]",   "其它[600cm]",
    };
    const std::vector<AntennaModel>& models = primeFocusCatalogue();
    ASSERT_EQ(models.size(), std::size(expected));
    for (std::size_t i = 0; i < models.size(); ++i) {
        EXPECT_EQ(models[i].modelText, expected[i]) << "index " << i;
        EXPECT_EQ(models[i].offsetAngle, 0) << "index " << i << " " << models[i].modelText;
    }
    EXPECT_EQ(&antennaCatalogueFor(FeedType::PrimeFocus), &models);
}

TEST(AntennaCatalogue, OffsetModels) {
    const struct {
        const char* text;
        int offset;
    } expected[] = {
        {"中卫[35cm]", 2462},    {"中卫[45cm]", 2462},   {"中卫[55cm]", 2462},
        {"中卫[60cm]", 2275},    {"中卫[75cm]", 2275},   {"中卫[90cm]", 2462},
        {"中卫[100cm]", 2462},   {"中卫[120cm]", 2462},  {"中卫[150cm]", 2462},
        {"斯威克[35cm]", 2462},  {"斯威克[45cm]", 2412}, {"斯威克[55cm]", 2356},
        {"斯威克[60cm]", 2500},  {"斯威克[75cm]", 2270}, {"斯威克[90cm]", 2462},
        {"斯威克[120cm]", 2364},
    };
    const std::vector<AntennaModel>& models = offsetCatalogue();
    ASSERT_EQ(models.size(), std::size(expected));
    for (std::size_t i = 0; i < models.size(); ++i) {
        EXPECT_EQ(models[i].modelText, expected[i].text) << "index " << i;
        EXPECT_EQ(models[i].offsetAngle, expected[i].offset) << "index " << i;
        EXPECT_EQ(antennaOffsetOf(models, static_cast<int>(i)), expected[i].offset)
            << "index " << i;
    }
    EXPECT_EQ(&antennaCatalogueFor(FeedType::Offset), &models);
}

TEST(AntennaCatalogue, DefaultsAndLookups) {
    const auto& prime = primeFocusCatalogue();
    const auto& offset = offsetCatalogue();
    ASSERT_EQ(defaultAntennaIndex(FeedType::PrimeFocus), 2);
    ASSERT_EQ(defaultAntennaIndex(FeedType::Offset), 3);
    EXPECT_EQ(prime[2].modelText, "中卫[150cm]");
    EXPECT_EQ(offset[3].modelText, "中卫[60cm]");
    EXPECT_EQ(antennaOffsetOf(offset, defaultAntennaIndex(FeedType::Offset)), 2275);
    EXPECT_EQ(antennaOffsetOf(prime, defaultAntennaIndex(FeedType::PrimeFocus)), 0);

    const struct {
        int index;
        int offset;
    } outOfRange[] = {{-1, 0}, {16, 0}, {1000, 0}};
    for (const auto& c : outOfRange) {
        EXPECT_EQ(antennaOffsetOf(offset, c.index), c.offset) << "index " << c.index;
    }

    EXPECT_EQ(antennaIndexOf(prime, "中卫[120cm]"), 0);
    EXPECT_EQ(antennaIndexOf(prime, "斯威克[450cm]"), 16);
    EXPECT_EQ(antennaIndexOf(prime, "其它[600cm]"), 44);
    EXPECT_EQ(antennaIndexOf(offset, "斯威克[120cm]"), 15);
    EXPECT_EQ(antennaIndexOf(offset, "中卫[120cm]"), 7);
    EXPECT_EQ(antennaIndexOf(offset, "其它[600cm]"), std::nullopt);
    EXPECT_EQ(antennaIndexOf(prime, ""), std::nullopt);
}

TEST(AntennaCatalogue, DiameterOfAModel) {
    const struct {
        FeedType feed;
        const char* text;
        int diameter;
    } cases[] = {
        {FeedType::PrimeFocus, "中卫[150cm]", 150}, {FeedType::PrimeFocus, "其它[600cm]", 600},
        {FeedType::PrimeFocus, "其它[90cm]", 90},   {FeedType::Offset, "斯威克[35cm]", 35},
        {FeedType::Offset, "中卫[150cm]", 150},
    };
    for (const auto& c : cases) {
        const std::vector<AntennaModel>& models = antennaCatalogueFor(c.feed);
        const std::optional<int> index = antennaIndexOf(models, c.text);
        ASSERT_TRUE(index) << '"' << c.text << '"';
        EXPECT_EQ(antennaDiameterAt(models, *index), c.diameter) << '"' << c.text << '"';
    }
    // Every model's diameter is the one its text names.
    for (FeedType feed : {FeedType::PrimeFocus, FeedType::Offset}) {
        for (const AntennaModel& model : antennaCatalogueFor(feed)) {
            const std::string named = "[" + std::to_string(model.diameterCm) + "cm]";
            EXPECT_NE(model.modelText.find(named), std::string::npos) << model.modelText;
        }
    }
    // No selection has no diameter.
    EXPECT_EQ(antennaDiameterAt(primeFocusCatalogue(), -1), 0);
    EXPECT_EQ(antennaDiameterAt(offsetCatalogue(), static_cast<int>(offsetCatalogue().size())), 0);
}

TEST(AntennaCatalogue, SignedOffset) {
    const struct {
        int offset;
        FeedType feed;
        Mounting mounting;
        int expected;
    } cases[] = {
        {2275, FeedType::Offset, Mounting::Upright, 2275},
        {2275, FeedType::Offset, Mounting::Inverted, -2275},
        {2462, FeedType::Offset, Mounting::Inverted, -2462},
        {0, FeedType::PrimeFocus, Mounting::Inverted, 0},
        {2275, FeedType::PrimeFocus, Mounting::Inverted, 2275}, // the mounting is for offset
        {0, FeedType::PrimeFocus, Mounting::Upright, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(signedOffsetOf(c.offset, c.feed, c.mounting), c.expected)
            << c.offset << (c.feed == FeedType::Offset ? " offset" : " prime focus")
            << (c.mounting == Mounting::Inverted ? " inverted" : " upright");
    }
}

// Pieces between CR LF pairs; the piece after the last one is kept even when empty.
std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(text.substr(start));
            return out;
        }
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
}

PointingResult beijingResult() {
    PointingResult r;
    r.azimuth = labelOf("181.4");
    r.elevation = labelOf("43.8");
    r.polarisation = labelOf("-1.1");
    r.compassBearing = 181.4f;
    r.southSide = "南偏西";
    r.southOffset = "1.4";
    r.watchHour = "12点整";
    r.droopAngle = "";
    r.lnbDirection = "左上45°";
    r.lnbReferencePart = "电路盒方向";
    r.compassText = "181.4";
    return r;
}

ReportInputs beijingInputs() {
    ReportInputs in;
    in.province = "北京市";
    in.city = "北京";
    in.satellite = "E115.5(测试星)";
    in.antenna = "中卫[150cm]";
    return in;
}

constexpr const char* kHeader = "------☆Zorvast寻星计算☆------\r\n\r\n地点：北京市，北京\r\n"
                                "卫星：E115.5(测试星)\r\n";

TEST(PointingReport, VisiblePrimeFocus) {
    const std::string report = buildPointingReport(beijingInputs(), beijingResult());
    EXPECT_EQ(report, std::string(kHeader) +
                          "天线：中卫[150cm]，正馈\r\n"
                          "方位角：181.4度（即 南偏西1.4度），手表时针指向：12点整\r\n"
                          "仰角：43.8度\r\n"
                          "高频头极化角：-1.1度，电路盒方向：左上45°\r\n");
    const std::vector<std::string> pieces = lines(report);
    ASSERT_EQ(pieces.size(), 9u) << report; // eight lines, the last one ended
    EXPECT_EQ(pieces[0], "------☆Zorvast寻星计算☆------");
    EXPECT_EQ(pieces[1], "");
    EXPECT_EQ(pieces[8], "");
    EXPECT_EQ(exportedReportText(report), report + "\r\n\r\n");
}

TEST(PointingReport, NoCoverage) {
    const struct {
        const char* azimuth;
        const char* elevation;
    } cases[] = {{"- -", "- -"}, {"93.2", "- -"}, {"- -", "32.5"}};
    for (const auto& c : cases) {
        PointingResult r = beijingResult();
        r.azimuth = labelOf(c.azimuth);
        r.elevation = labelOf(c.elevation);
        const std::string report = buildPointingReport(beijingInputs(), r);
        EXPECT_EQ(report, std::string(kHeader) + "天线：中卫[150cm]，正馈\r\n"
                                                 "注意：所在地区无信号覆盖！")
            << c.azimuth << " / " << c.elevation;
        const std::vector<std::string> pieces = lines(report);
        ASSERT_EQ(pieces.size(), 6u) << report;
        EXPECT_EQ(pieces[5], "注意：所在地区无信号覆盖！");
        EXPECT_EQ(exportedReportText(report), report + "\r\n\r\n");
    }
    // An offset dish keeps its mounting on the antenna line.
    ReportInputs in = beijingInputs();
    in.feed = FeedType::Offset;
    in.mounting = Mounting::Inverted;
    in.antenna = "中卫[60cm]";
    PointingResult r = beijingResult();
    r.elevation = labelOf("- -");
    EXPECT_EQ(buildPointingReport(in, r),
              std::string(kHeader) +
                  "天线：中卫[60cm]，偏馈（倒装）\r\n注意：所在地区无信号覆盖！");
}

TEST(PointingReport, OffsetDish) {
    const struct {
        Mounting mounting;
        const char* droop;
        const char* antennaLine;
    } cases[] = {
        {Mounting::Inverted, "66.6", "天线：中卫[60cm]，偏馈（倒装）"},
        {Mounting::Upright, "21.1", "天线：中卫[60cm]，偏馈"},
    };
    for (const auto& c : cases) {
        ReportInputs in = beijingInputs();
        in.feed = FeedType::Offset;
        in.mounting = c.mounting;
        in.antenna = "中卫[60cm]";
        PointingResult r = beijingResult();
        r.droopAngle = c.droop;
        r.lnbDirection = "右下45°";
        r.lnbReferencePart = "Ｆ头方向";
        const std::string report = buildPointingReport(in, r);
        EXPECT_EQ(report, std::string(kHeader) + c.antennaLine +
                              "\r\n"
                              "方位角：181.4度（即 南偏西1.4度），手表时针指向：12点整\r\n"
                              "仰角：43.8度，下垂角：" +
                              c.droop +
                              "度\r\n"
                              "高频头极化角：-1.1度，Ｆ头方向：右下45°\r\n")
            << c.droop;
        EXPECT_EQ(lines(report).size(), 9u) << report;
    }
}

TEST(PointingReport, DeclinationCorrection) {
    ReportInputs in = beijingInputs();
    in.declinationCorrection = true;
    PointingResult r = beijingResult();
    r.compassBearing = 187.8f;
    r.compassText = "187.8";
    r.southOffset = "7.8";
    r.watchHour = "12点半";
    const std::string report = buildPointingReport(in, r);
    EXPECT_EQ(report, std::string(kHeader) + "天线：中卫[150cm]，正馈\r\n"
                                             "方位角：181.4度，经磁偏修正的指北针指向：187.8度（即 "
                                             "南偏西7.8度），手表时针指向：12点半\r\n"
                                             "仰角：43.8度\r\n"
                                             "高频头极化角：-1.1度，电路盒方向：左上45°\r\n");
    // Off, the compass text is left out even though it is there.
    in.declinationCorrection = false;
    EXPECT_EQ(buildPointingReport(in, r).find("指北针"), std::string::npos);
}

TEST(PointingReport, SavingSaysHowItWent) {
    const TempFolder temp;
    const std::filesystem::path file = temp.path() / "report.txt";
    const SaveNotice saved = saveExport(file, "GBK bytes");
    EXPECT_EQ(saved.caption, "保存成功");
    EXPECT_EQ(saved.text, "已保存成功，目标文件是：" + file.string());
    EXPECT_FALSE(saved.warning);
    EXPECT_EQ(common::readFileBytes(file).value_or(""), "GBK bytes");

    // No file chosen: nothing is written.
    const SaveNotice none = saveExport(std::nullopt, "GBK bytes");
    EXPECT_EQ(none.caption, "保存失败");
    EXPECT_EQ(none.text, "文件名不能为空，请重新填写。");
    EXPECT_TRUE(none.warning);

    // A folder that does not exist: a failure with the file's name, never a false success.
    const std::filesystem::path missing = temp.path() / "missing" / "report.txt";
    const SaveNotice failed = saveExport(missing, "GBK bytes");
    EXPECT_EQ(failed.caption, "保存失败");
    EXPECT_TRUE(failed.text.starts_with("无法写入文件：" + missing.string() + "\r\n"))
        << failed.text;
    EXPECT_TRUE(failed.warning);
    EXPECT_FALSE(common::fileExists(missing));
}

TEST(SatelliteInfo, DetailText) {
    const std::string item = "E115.5（测试星）";
    const struct {
        const char* remark;
        const char* sMax;
        const char* sMin;
        std::string expected;
    } cases[] = {
        // No remark: the default text whatever the values.
        {"", " 41dB 52dB", " 36dB 45dB", std::string(kDefaultDetailText)},
        {"", "", "", std::string(kDefaultDetailText)},
        // Every value reads as 0.
        {"亚太地区", " 00dB 00dB", " 00dB 00dB", item + "卫星：亚太地区"},
        {"亚太地区", "", "", item + "卫星：亚太地区"},
        {"亚太地区", "xx", "-----", item + "卫星：亚太地区"},
        // Only Ku-band values.
        {"亚太地区", " 00dB 52dB", " 00dB 45dB",
         item + "卫星：亚太地区，KU最强： 52dB，KU最弱： 45dB"},
        // Only C-band values.
        {"亚太地区", " 41dB 00dB", " 36dB 00dB", item + "卫星：亚太地区，C最强：41dB，C最弱：36dB"},
        // Everything: C shown from the second character, Ku as its last five.
        {"亚太地区", " 41dB 52dB", " 36dB 45dB",
         item + "卫星：亚太地区，C最强：41dB，C最弱：36dB，KU最强： 52dB，KU最弱： 45dB"},
        {"亚太地区", " 38dB 45dB", "", item + "卫星：亚太地区，C最强：38dB，KU最强： 45dB"},
        // Short texts are clipped: the first and last five overlap.
        {"r", "45", "", item + "卫星：r，C最强：5，KU最强：45"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(satelliteInfoText(item, c.remark, c.sMax, c.sMin), c.expected)
            << "remark \"" << c.remark << "\" s_max \"" << c.sMax << "\" s_min \"" << c.sMin << '"';
    }
}

} // namespace
} // namespace zorvast::pointing
