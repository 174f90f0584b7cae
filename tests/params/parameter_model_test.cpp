// The parameter model's own data beside the parameter set: where SEND and GET go.

#include "params_core/parameter_model.h"

#include <gtest/gtest.h>

namespace params {
namespace {

TEST(ParameterModel, TheTransferChoiceKeepsSetOneOnlyWhileTriggerIsPara) {
    ParameterModel m;
    EXPECT_EQ(m.Transfer(), TransferChoice{});  // RAM, set 0
    // Evaluating (BEST HIT) with TRIGGER PARA.
    ParameterSet para = m.Set();
    para.block.digitalOutMode = 1;
    para.block.evaluationMode = 1;
    para.block.analogOutMode = 1;
    para.block.trigger = mode::kPara;
    m.Load(para);
    ASSERT_TRUE(m.Modes().paraSetEnabled);
    m.SelectTarget(TransferTarget::Eeprom);
    m.SelectSet(1);
    EXPECT_EQ(m.Transfer(), (TransferChoice{TransferTarget::Eeprom, 1}));
    m.SelectSet(2);  // no such set
    EXPECT_EQ(m.Transfer().set, 0);
    m.SelectSet(1);

    // A change that leaves PARA behind takes the set back to 0; the target stays.
    m.SetWord(kTrigger, mode::kSelf);
    EXPECT_EQ(m.Transfer(), (TransferChoice{TransferTarget::Eeprom, 0}));
    m.SelectSet(1);  // not allowed now
    EXPECT_EQ(m.Transfer().set, 0);

    // A whole set without PARA does the same.
    m.Load(para);
    m.SelectSet(1);
    ParameterSet self = para;
    self.block.trigger = mode::kSelf;
    m.Load(self);
    EXPECT_EQ(m.Transfer().set, 0);
}

}  // namespace
}  // namespace params
