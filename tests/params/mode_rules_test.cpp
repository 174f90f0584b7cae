// The mode rules without a panel: forced values, what stays operable, labels, limits and
// the messages, over the whole space of mode combinations where that is cheap.

#include "params_core/mode_rules.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>

namespace params {
namespace {

using namespace mode;

// Every combination of the words the rules decide on; the other words keep their defaults
// and must come out unchanged.
void ForEachInput(const std::function<void(const ModeInput&)>& check) {
    ModeInput in;
    for (std::size_t v = 0; v < kVectorCount; ++v) in.groups[v] = static_cast<std::uint16_t>(v % 4);
    ParameterBlock& w = in.words;
    for (w.digitalOutMode = 0; w.digitalOutMode <= 3; ++w.digitalOutMode)
        for (w.analogOutMode = 0; w.analogOutMode <= 5; ++w.analogOutMode)
            for (w.calculationMode = 0; w.calculationMode <= 3; ++w.calculationMode)
                for (w.evaluationMode = 0; w.evaluationMode <= 6; ++w.evaluationMode)
                    for (w.analogOut = 0; w.analogOut <= 1; ++w.analogOut)
                        for (w.externTeach = 0; w.externTeach <= 3; ++w.externTeach)
                            for (w.trigger = 0; w.trigger <= 6; ++w.trigger)
                                for (std::uint16_t led : {0, 2})
                                    for (w.powerMode = 0; w.powerMode <= 1; ++w.powerMode)
                                        for (w.colorGroup = 0; w.colorGroup <= 1; ++w.colorGroup)
                                            for (std::uint16_t maxVec : {3, 40})
                                                for (bool complete : {true, false}) {
                                                    w.ledMode = led;
                                                    w.maxVecNo = maxVec;
                                                    w.intLim = 100;
                                                    w.power = 700;
                                                    in.triggerListComplete = complete;
                                                    check(in);
                                                }
}

std::array<std::uint16_t, kBlockWords> Words(const ParameterBlock& b) {
    std::array<std::uint16_t, kBlockWords> words{};
    for (std::size_t w = 0; w < kBlockWords; ++w) words[w] = b[w];
    return words;
}

std::string Describe(const ModeInput& in) {
    std::ostringstream s;
    for (std::size_t w = 0; w < kBlockWords; ++w)
        s << kParameters[w].label << '=' << in.words[w] << ' ';
    s << "list complete=" << in.triggerListComplete;
    return s.str();
}

// What the panel shows after an outcome, as far as the next run can tell it apart.
std::string Shown(const ModeOutcome& out) {
    std::ostringstream s;
    for (std::size_t w = 0; w < kBlockWords; ++w) s << out.words[w] << ',';
    for (auto g : out.groups) s << g << ',';
    s << '|' << out.analogOutVisible << out.analogZoomVisible << out.triggerEnabled
      << out.externTeachEnabled << out.powerModeEnabled << out.powerEnabled << out.dynWinEnabled
      << out.evaluationVisible << out.paraSetEnabled;
    if (out.evaluation) {
        const EvaluationControls& ev = *out.evaluation;
        s << '|' << ev.maxVecNoEnabled << ev.intLimEnabled << ev.calculationModeEnabled
          << ev.groupControlsEnabled << ev.hiddenTeachColumn << ev.activeRows;
        for (const char* label : ev.teachLabels) s << label << ',';
        // A second run may confirm the list or leave it: both leave the same items.
        if (ev.triggerList == TriggerList::ContAndSelf) s << "short";
        if (ev.groupMarked)
            for (bool marked : *ev.groupMarked) s << marked;
    }
    return s.str();
}

bool Same(const EvaluationControls& a, const EvaluationControls& b) {
    return a.maxVecNoEnabled == b.maxVecNoEnabled && a.intLimEnabled == b.intLimEnabled &&
           a.calculationModeEnabled == b.calculationModeEnabled &&
           a.groupControlsEnabled == b.groupControlsEnabled &&
           a.hiddenTeachColumn == b.hiddenTeachColumn && a.teachLabels == b.teachLabels &&
           (a.triggerList == TriggerList::ContAndSelf) ==
               (b.triggerList == TriggerList::ContAndSelf) &&
           a.activeRows == b.activeRows && a.groupMarked == b.groupMarked;
}

bool Same(const ModeOutcome& a, const ModeOutcome& b) {
    return Words(a.words) == Words(b.words) && a.groups == b.groups &&
           a.analogOutVisible == b.analogOutVisible && a.analogZoomVisible == b.analogZoomVisible &&
           a.triggerEnabled == b.triggerEnabled && a.externTeachEnabled == b.externTeachEnabled &&
           a.powerModeEnabled == b.powerModeEnabled && a.powerEnabled == b.powerEnabled &&
           a.dynWinEnabled == b.dynWinEnabled && a.evaluationVisible == b.evaluationVisible &&
           a.paraSetEnabled == b.paraSetEnabled &&
           a.evaluation.has_value() == b.evaluation.has_value() &&
           (!a.evaluation || Same(*a.evaluation, *b.evaluation));
}

TEST(ModeRules, SecondRunChangesNothingAndSaysNothing) {
    ForEachInput([](const ModeInput& in) {
        if (::testing::Test::HasFailure()) return;  // one report is enough
        const ModeOutcome first = ApplyModeRules(in);
        ModeInput again;
        again.words = first.words;
        again.groups = first.groups;
        if (first.evaluation && first.evaluation->groupMarked)
            again.groupMarked = *first.evaluation->groupMarked;
        again.triggerListComplete = in.triggerListComplete;
        if (first.evaluation && first.evaluation->triggerList != TriggerList::Keep)
            again.triggerListComplete = first.evaluation->triggerList == TriggerList::Complete;
        const ModeOutcome second = ApplyModeRules(again);
        if (!Same(second, first)) {
            EXPECT_EQ(Shown(second), Shown(first)) << Describe(in);
        }
        ASSERT_TRUE(second.notices.empty()) << Describe(in);
    });
}

TEST(ModeRules, ResultsKeepTheLimitsOfTheParameterSet) {
    ForEachInput([](const ModeInput& in) {
        if (::testing::Test::HasFailure()) return;  // one report is enough
        const ModeOutcome out = ApplyModeRules(in);
        const ParameterBlock& w = out.words;
        auto require = [&in](bool premise, bool conclusion, const char* rule) {
            if (premise && !conclusion) ADD_FAILURE() << rule << ": " << Describe(in);
        };
        const bool outputs = w.digitalOutMode != kDigitalOff;
        const bool thresholds = w.evaluationMode >= kFirstThreshold;
        const bool siMAnalog = w.analogOutMode == kAnalogSiM || w.analogOutMode == kAnalogSiMRef;
        const bool coordinates = siMAnalog || w.analogOutMode == kAnalogXyInt;
        bool groupsAllowed = true;
        for (auto g : out.groups)
            groupsAllowed = groupsAllowed && g <= GroupLimit(w.digitalOutMode);

        require(outputs && w.evaluationMode >= kCol2,
                w.colorGroup == 0 && w.maxVecNo == 2 && w.digitalOutMode == kBinary,
                "COL2 and thresholds: no groups, two rows, BINARY");
        require(outputs && w.colorGroup == 0, w.maxVecNo <= (w.digitalOutMode == kBinary ? 3 : 2),
                "MAX VEC NO within the outputs");
        require(outputs, w.maxVecNo <= 31, "MAX VEC NO within the table");
        require(outputs && w.colorGroup != 0, groupsAllowed, "groups within the outputs");
        require(outputs && !thresholds && coordinates, siMAnalog == (w.calculationMode % 2 == 1),
                "analog output calculates as the evaluation");
        require(!outputs, w.trigger == kCont && w.externTeach == kTeachOff && !out.evaluation,
                "no outputs: CONT, no teaching, no evaluation");
        require(!outputs || thresholds, w.calculationMode == (siMAnalog ? 1 : 0),
                "calculation follows the analog output");
        require(outputs && thresholds, w.intLim == 0, "thresholds: INTLIM 0");
        require(w.ledMode == kLedOff,
                w.power == 0 && w.powerMode == kStat && w.externTeach != kDyn1, "LED off");
        require(w.externTeach == kStat1 || w.externTeach == kDyn1, w.powerMode == kStat,
                "teaching at one power");
        require(w.analogOutMode >= kAnalogRgbMm || w.analogOut != kAnalogCont || thresholds,
                w.trigger == kCont, "trigger fixed");
        require(w.analogOutMode == 0 || w.analogOutMode >= kAnalogRgbMm, w.analogOut == kAnalogCont,
                "ANALOG OUT fixed");
        require(w.analogOut != kAnalogCont || w.trigger > kSelf, w.externTeach == kTeachOff,
                "teach input taken");
        require(w.externTeach != kTeachOff, w.trigger <= kSelf, "teaching: CONT or SELF");
        require(true, out.paraSetEnabled == (w.trigger == kPara), "set 1 with PARA only");
        for (std::size_t word :
             {kAverage, kHoldFail, kDynWinLo, kDynWinHi, kLedMode, kGain, kIntegral, kAnalogZoom})
            require(true, w[word] == in.words[word], kParameters[word].label);
    });
}

ModeInput Evaluating(std::uint16_t digitalOutMode) {
    ModeInput in;
    in.words.digitalOutMode = digitalOutMode;
    in.words.evaluationMode = 1;  // BEST HIT
    in.words.analogOutMode = 1;
    return in;
}

TEST(ModeRules, MaxVecNoAndGroupLimitsWithTheirMessages) {
    struct Case {
        std::uint16_t digital, groups, maxVec, expected;
        bool message;
    };
    const Case cases[] = {
        {1, 0, 3, 2, true},    {3, 0, 3, 2, true},   {2, 0, 3, 3, false}, {2, 0, 4, 3, true},
        {1, 1, 31, 31, false}, {1, 1, 40, 31, true},  // a set from a file can hold anything
    };
    for (const Case& c : cases) {
        ModeInput in = Evaluating(c.digital);
        in.words.colorGroup = c.groups;
        in.words.maxVecNo = c.maxVec;
        const ModeOutcome out = ApplyModeRules(in);
        EXPECT_EQ(out.words.maxVecNo, c.expected) << c.digital << ' ' << c.maxVec;
        ASSERT_EQ(out.notices.size(), c.message ? 1u : 0u) << c.digital << ' ' << c.maxVec;
        if (c.message) {
            EXPECT_EQ(out.notices[0].page, NoticePage::Parameter);
            EXPECT_STREQ(out.notices[0].title, "INFO!");
            EXPECT_STREQ(out.notices[0].text, kMaxVecNoNotice);
        }
        EXPECT_EQ(out.evaluation->activeRows, c.expected);
    }

    // Groups: every row is checked, one message for all of them.
    for (std::uint16_t digital : {1, 2, 3}) {
        ModeInput in = Evaluating(digital);
        in.words.colorGroup = 1;
        in.groups[0] = 2;
        in.groups[7] = 1;
        in.groups[30] = 77;
        in.groupMarked[5] = true;  // from an earlier run, still 0
        in.groupMarked[6] = true;  // the user has typed another number since
        in.groups[6] = 1;
        const ModeOutcome out = ApplyModeRules(in);
        const bool binary = digital == kBinary;
        ASSERT_TRUE(out.evaluation->groupMarked);
        const auto& marked = *out.evaluation->groupMarked;
        EXPECT_EQ(marked[0], !binary);
        EXPECT_EQ(out.groups[0], binary ? 2 : 0);
        EXPECT_FALSE(marked[7]);
        EXPECT_EQ(out.groups[7], 1);
        EXPECT_TRUE(marked[30]);
        EXPECT_EQ(out.groups[30], 0);
        EXPECT_TRUE(marked[5]);
        EXPECT_FALSE(marked[6]);
        ASSERT_EQ(out.notices.size(), 1u);
        EXPECT_EQ(out.notices[0].page, NoticePage::GroupHold);
        EXPECT_STREQ(out.notices[0].text, kGroupNotice);
    }
    // With colour groups off the group cells are not looked at.
    ModeInput off = Evaluating(1);
    off.groups[3] = 9;
    EXPECT_FALSE(ApplyModeRules(off).evaluation->groupMarked);
    EXPECT_EQ(ApplyModeRules(off).groups[3], 9);
}

TEST(ModeRules, AnalogOutputFollowsTheCalculationAndSaysSoFirst) {
    ModeInput in = Evaluating(1);
    in.words.calculationMode = 0;  // X Y INT
    in.words.analogOutMode = kAnalogSiMRef;
    in.words.analogOut = 1;
    in.words.maxVecNo = 3;
    const ModeOutcome out = ApplyModeRules(in);
    EXPECT_EQ(out.words.analogOutMode, kAnalogXyInt);
    EXPECT_EQ(out.words.analogOut, kAnalogCont);  // siM REF had set it to CONT first
    EXPECT_TRUE(out.analogOutVisible);
    EXPECT_FALSE(out.analogZoomVisible);
    // siM REF fixed the trigger; X Y INT does not, and the trigger is free at once.
    EXPECT_TRUE(out.triggerEnabled);
    ASSERT_EQ(out.notices.size(), 2u);
    EXPECT_STREQ(out.notices[0].text, kAnalogOutModeNotice);
    EXPECT_EQ(out.notices[0].page, NoticePage::Unchanged);
    EXPECT_STREQ(out.notices[1].text, kMaxVecNoNotice);

    in.words.calculationMode = 3;  // s i M keeps siM REF
    EXPECT_EQ(ApplyModeRules(in).words.analogOutMode, kAnalogSiMRef);
    EXPECT_TRUE(ApplyModeRules(in).analogZoomVisible);
    in.words.analogOutMode = kAnalogXyInt;
    EXPECT_EQ(ApplyModeRules(in).words.analogOutMode, kAnalogSiM);

    // Without colour evaluation the calculation follows the output instead, losing 3D.
    in.words.evaluationMode = kFirstThreshold;
    in.words.analogOutMode = kAnalogSiMRef;
    EXPECT_EQ(ApplyModeRules(in).words.calculationMode, 1);
    EXPECT_TRUE(ApplyModeRules(in).notices.empty());
    in.words.digitalOutMode = kDigitalOff;
    in.words.evaluationMode = 1;
    in.words.analogOutMode = kAnalogXyInt;
    EXPECT_EQ(ApplyModeRules(in).words.calculationMode, 0);
}

TEST(ModeRules, LightSourceAndExternalTeachDecideThePower) {
    struct Case {
        std::uint16_t led, teach, powerMode;
        std::uint16_t teachAfter, powerModeAfter;
        bool powerModeOn, powerOn, dynWinOn;
    };
    const Case cases[] = {
        {kLedOff, kDyn1, 1, kTeachOff, kStat, false, false, false},
        {kLedOff, kStat1, 0, kStat1, kStat, false, false, false},
        {0, kStat1, 1, kStat1, kStat, false, true, false},
        {0, kDyn1, 1, kDyn1, kStat, false, false, true},
        {0, kTeachOff, 1, kTeachOff, 1, true, false, true},
        {1, 1, 0, 1, kStat, true, true, false},
    };
    for (const Case& c : cases) {
        ModeInput in = Evaluating(1);
        in.words.ledMode = c.led;
        in.words.externTeach = c.teach;
        in.words.powerMode = c.powerMode;
        in.words.power = 800;
        const ModeOutcome out = ApplyModeRules(in);
        const std::string why = Describe(in);
        EXPECT_EQ(out.words.externTeach, c.teachAfter) << why;
        EXPECT_EQ(out.words.powerMode, c.powerModeAfter) << why;
        EXPECT_EQ(out.words.power, c.led == kLedOff ? 0 : 800) << why;
        EXPECT_EQ(out.powerModeEnabled, c.powerModeOn) << why;
        EXPECT_EQ(out.powerEnabled, c.powerOn) << why;
        EXPECT_EQ(out.dynWinEnabled, c.dynWinOn) << why;
    }
}

TEST(ModeRules, TriggerExternTeachAndTheParameterSetSelector) {
    ModeInput in = Evaluating(1);
    in.words.trigger = kPara;
    in.words.externTeach = 1;
    ModeOutcome out = ApplyModeRules(in);
    EXPECT_TRUE(out.paraSetEnabled);
    EXPECT_EQ(out.words.externTeach, kTeachOff);  // EXT1 ... PARA use the teach input
    EXPECT_FALSE(out.externTeachEnabled);
    EXPECT_EQ(out.evaluation->triggerList, TriggerList::Keep);
    in.triggerListComplete = false;
    EXPECT_EQ(ApplyModeRules(in).evaluation->triggerList, TriggerList::Complete);

    in.words.trigger = kSelf;
    out = ApplyModeRules(in);
    EXPECT_FALSE(out.paraSetEnabled);
    EXPECT_EQ(out.words.externTeach, 1);
    EXPECT_TRUE(out.externTeachEnabled);
    EXPECT_EQ(out.evaluation->triggerList, TriggerList::ContAndSelf);

    // IN0 L->H fixes the trigger and switches external teaching off.
    in.words.analogOutMode = kAnalogXyInt;
    in.words.analogOut = 1;
    out = ApplyModeRules(in);
    EXPECT_EQ(out.words.trigger, kCont);
    EXPECT_FALSE(out.triggerEnabled);
    EXPECT_EQ(out.words.externTeach, kTeachOff);
    EXPECT_FALSE(out.externTeachEnabled);

    // A trigger that takes the teach input away frees what the teaching held.
    in = Evaluating(1);
    in.words.externTeach = kStat1;
    in.words.trigger = 2;  // EXT1
    out = ApplyModeRules(in);
    EXPECT_EQ(out.words.externTeach, kTeachOff);
    EXPECT_TRUE(out.powerModeEnabled);

    // Without digital outputs the trigger list is out of use and keeps its items.
    in = Evaluating(kDigitalOff);
    in.words.externTeach = 1;
    in.words.trigger = 1;
    in.triggerListComplete = false;
    out = ApplyModeRules(in);
    EXPECT_FALSE(out.evaluation);
    EXPECT_FALSE(out.evaluationVisible);
    EXPECT_EQ(out.words.trigger, kCont);
    EXPECT_EQ(out.words.externTeach, kTeachOff);
}

}  // namespace
}  // namespace params
