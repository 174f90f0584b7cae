// The parameter model's data beside the parameter set: where SEND and GET go.

#include "params_core/parameter_model.h"

#include <gtest/gtest.h>

namespace params {
namespace {

TEST(ParameterModel, TheTransferChoiceKeepsSetOneOnlyWhileTriggerIsPara) {
    ParameterModel m;
    EXPECT_EQ(m.Transfer(), TransferChoice{});  // RAM, set 0
    ParameterSet para = m.Set();                // evaluating (BEST HIT), TRIGGER PARA
    para.block.digitalOutMode = para.block.evaluationMode = para.block.analogOutMode = 1;
    para.block.trigger = mode::kPara;
    m.Load(para);
    ASSERT_TRUE(m.Modes().paraSetEnabled);
    m.SelectTarget(TransferTarget::Eeprom);
    m.SelectSet(2);  // no such set
    EXPECT_EQ(m.Transfer().set, 0);
    m.SelectSet(1);
    EXPECT_EQ(m.Transfer(), (TransferChoice{TransferTarget::Eeprom, 1}));
    // A change that leaves PARA behind takes the set back to 0, and set 1 is refused then.
    m.SetWord(kTrigger, mode::kSelf);
    EXPECT_EQ(m.Transfer(), (TransferChoice{TransferTarget::Eeprom, 0}));
    m.SelectSet(1);
    EXPECT_EQ(m.Transfer().set, 0);
    m.Load(para);  // and so does a whole set without PARA
    m.SelectSet(1);
    m.Load(ParameterSet{});
    EXPECT_EQ(m.Transfer().set, 0);
}

}  // namespace
}  // namespace params
