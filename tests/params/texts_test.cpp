#include "params_core/texts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "params_core/parameter_set.h"

namespace params {
namespace {

TEST(Texts, EverySelectorOffersExactlyTheRangeOfItsWord) {
    std::size_t selectors = 0;
    for (std::size_t w = 0; w < kBlockWords; ++w) {
        const auto items = ValueItems(w);
        if (items.empty()) continue;
        ++selectors;
        std::set<int> values;
        std::set<std::string> labels;
        for (const ValueItem& item : items) {
            values.insert(item.value);
            labels.insert(item.label);
        }
        EXPECT_EQ(values.size(), items.size()) << kParameters[w].label;
        EXPECT_EQ(labels.size(), items.size()) << kParameters[w].label;
        EXPECT_EQ(*values.begin(), kParameters[w].minValue) << kParameters[w].label;
        EXPECT_EQ(*values.rbegin(), kParameters[w].maxValue) << kParameters[w].label;
        EXPECT_EQ(values.size(), kParameters[w].maxValue - kParameters[w].minValue + 1u)
            << kParameters[w].label;
    }
    EXPECT_EQ(selectors, 11u);
    EXPECT_TRUE(ValueItems(kPower).empty());

    EXPECT_STREQ(ValueLabel(kCalculationMode, 1), "s i   M - 2D");
    EXPECT_STREQ(ValueLabel(kLedMode, 2), "OFF");
    EXPECT_STREQ(ValueLabel(kDigitalOutMode, 3), "DIRECT HI");
    EXPECT_STREQ(ValueLabel(kGain, 8), "AMP8");
    EXPECT_STREQ(ValueLabel(kAnalogOut, 1), "IN0 L->H");
    EXPECT_EQ(ValueLabel(kGain, 0), nullptr);
    EXPECT_EQ(ValueLabel(kAverage, 1), nullptr);
}

TEST(Texts, HelpTextsAreUniquePerCallbackAndFoundByName) {
    std::set<std::string> callbacks;
    for (const HelpText& h : ParameterHelpTexts()) {
        EXPECT_TRUE(callbacks.insert(h.callback).second) << h.callback;
        EXPECT_NE(std::string(h.text), "") << h.callback;
    }
    EXPECT_STREQ(ParameterHelpText("CBF_SlidePower"),
                 "Select the intensity of the transmitter LED. \n0 = no intensity,  1000 = full "
                 "intensity.");
    EXPECT_STREQ(ParameterHelpText("CBF_SelectParaSet"),
                 "Select parameter set which should be transfered.");
    EXPECT_EQ(ParameterHelpText("CBF_Nothing"), nullptr);

    // Each mode description names every value of its selector.
    const struct {
        const char* callback;
        std::size_t word;
    } modes[] = {{"CBF_EditPmode", kPowerMode},
                 {"CBF_EditLedMode", kLedMode},
                 {"CBF_EditDigOutmode", kDigitalOutMode},
                 {"CBF_EditAnaOutmode", kAnalogOutMode},
                 {"CBF_EditAnaOut", kAnalogOut},
                 {"CBF_EditEvalmode", kEvaluationMode},
                 {"CBF_EditCalcmode", kCalculationMode},
                 {"CBF_EditExteach", kExternTeach},
                 {"CBF_EditTrigger", kTrigger}};
    for (const auto& m : modes) {
        const std::string text = ParameterHelpText(m.callback);
        for (const ValueItem& item : ValueItems(m.word)) {
            EXPECT_NE(text.find(item.label), std::string::npos) << m.callback << ": " << item.label;
        }
    }
    EXPECT_NE(std::string(ParameterHelpText("CBF_EditIntlim")).find("POWER MODE = DYN"),
              std::string::npos);
}

}  // namespace
}  // namespace params
