#include <gtest/gtest.h>

#include <cstring>

#include "engine/vm/ScriptValue.h"
#include "engine/vm/SimplifiedCode.h"

namespace vorn::engine {
namespace {

TEST(Instructions, NumbersAndNamesAreFrozen) {
    struct Case { TInstruction op; int number; const char* name; };
    const Case cases[] = {
        {inPrepare, 0, "inPrepare"},         {inPushConst, 4, "inPushConst"},
        {inSwap2, 10, "inSwap2"},            {inOperNE, 11, "inOperNE"},
        {inOperNot, 32, "inOperNot"},        {inJumpIfFalse, 33, "inJumpIfFalse"},
        {inStoreVarConst, 46, "inStoreVarConst"}, {inVarTestDouble, 56, "inVarTestDouble"},
        {inCall, 64, "inCall"},              {inCallProc, 67, "inCallProc"},
        {inBreakPoint, 71, "inBreakPoint"},  {inGlobalPrepare, 76, "inGlobalPrepare"},
        {inCopyGlobalVar, 82, "inCopyGlobalVar"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(int(c.op), c.number) << c.name;
        EXPECT_STREQ(InstructionName(c.op), c.name);
    }
    EXPECT_STREQ(InstructionName(TInstruction(83)), "");
    EXPECT_EQ(sizeof(TInstruction), 1u);
}

TEST(Instructions, NewRecordIsZeroFilledWithItsOpcode) {
    TSimplifiedCodeList list;
    TSimplifiedCode* code = list.Append(inPushDouble);
    EXPECT_EQ(code->OpCode, inPushDouble);
    EXPECT_EQ(code->vByte, 0);
    EXPECT_EQ(code->vInteger, 0);
    EXPECT_EQ(code->valueInt64, 0);
    EXPECT_EQ(code->vSave1, 0);
    EXPECT_EQ(code->vSave2, 0);
    EXPECT_TRUE(code->vString.IsEmpty());
    EXPECT_EQ(code->Next, nullptr);
    EXPECT_FALSE(code->Compute);
}

TEST(Instructions, ListKeepsAddressesAndLinksThroughNext) {
    TSimplifiedCodeList list;
    TSimplifiedCode* first = list.Append(inPrepare);
    TSimplifiedCode* jump = list.Append(inJump);
    for (int i = 0; i < 1000; ++i) list.Append(inDrop);
    EXPECT_EQ(list.First(), first);
    EXPECT_EQ(first->Next, jump);
    EXPECT_EQ(list.At(1), jump);
    EXPECT_EQ(list.At(1001), list.Last());
    EXPECT_EQ(list.At(1002), nullptr);
    EXPECT_EQ(list.Count(), 1002);
    jump->vPointer = reinterpret_cast<intptr_t>(list.At(500));
    EXPECT_EQ(reinterpret_cast<TSimplifiedCode*>(jump->vPointer)->OpCode, inDrop);
}

TEST(Instructions, OverlaidOperandsShareTheirBytes) {
    TSimplifiedCode code(inVarTestInteger);
    code.vInteger2 = 7;
    code.vInteger3 = -1;
    EXPECT_EQ(code.vInteger2, 7);
    code.valueUInt64 = 0xFFFFFFFFFFFFFFFFull;
    EXPECT_EQ(code.valueInt64, -1);
}

TEST(SourcePosition, PacksRowAndColumn) {
    struct Case { int64_t row, column; int32_t packed; int32_t line0, col0; };
    const Case cases[] = {
        {1, 1, 1048577, 0, 0},
        {0, 0, 0, -1, -1},
        {10, 3, (3 << 20) | 10, 9, 2},
        {1048575, 4095, int32_t(0xFFFFFFFFu), 1048574, 4094},
        // Beyond the field widths the fields saturate instead of spilling over.
        {1048576, 1, (1 << 20) | 1048575, 1048574, 0},
        {5, 4096, int32_t(0xFFF00005u), 4, 4094},
        {5, 100000, int32_t(0xFFF00005u), 4, 4094},
        {-3, -3, 0, -1, -1},
    };
    for (const Case& c : cases) {
        int32_t packed = PackSourcePosition(c.row, c.column);
        EXPECT_EQ(packed, c.packed) << c.row << "," << c.column;
        EXPECT_EQ(LineNumberFromDebugInfo(packed), c.line0);
        EXPECT_EQ(ColNumberFromDebugInfo(packed), c.col0);
    }
}

TEST(SourcePosition, InstructionDecoders) {
    TSimplifiedCode code(inPushVar);
    EXPECT_EQ(LineNumberFromInstruction(&code), -1);
    EXPECT_EQ(ColNumberFromInstruction(&code), -1);
    code.vDebugInfo = PackSourcePosition(12, 7);
    EXPECT_EQ(LineNumberFromInstruction(&code), 11);
    EXPECT_EQ(ColNumberFromInstruction(&code), 6);
    EXPECT_EQ(LineNumberFromInstruction(nullptr), -1);
    EXPECT_EQ(ColNumberFromInstruction(nullptr), -1);
    EXPECT_TRUE(InstructionIsExecutable(&code));
    EXPECT_FALSE(InstructionIsExecutable(nullptr));
    TSimplifiedCode prepare(inPrepare);
    EXPECT_FALSE(InstructionIsExecutable(&prepare));
}

TEST(MemberReference, PacksKindMemberAndClass) {
    int32_t packed = 0;
    ASSERT_TRUE(TryPackMemberReference(mrMethod, 5, 9, packed));
    EXPECT_EQ(packed, 3 | 5 << 2 | 9 << 17);
    EXPECT_EQ(PackedMemberKind(packed), 3);
    EXPECT_EQ(PackedMemberIndex(packed), 5);
    EXPECT_EQ(PackedClassIndex(packed), 9);
    EXPECT_FALSE(IsUnresolvedMemberReference(packed));

    ASSERT_TRUE(TryPackMemberReference(mrPropertyWrite, 32767, 32767, packed));
    EXPECT_EQ(PackedMemberIndex(packed), 32767);
    EXPECT_EQ(PackedClassIndex(packed), 32767);
    EXPECT_EQ(PackedMemberKind(packed), 2);
    EXPECT_FALSE(TryPackMemberReference(mrMethod, 32768, 0, packed));
    EXPECT_FALSE(TryPackMemberReference(mrMethod, 0, 32768, packed));
    EXPECT_FALSE(TryPackMemberReference(mrMethod, -1, 0, packed));

    // The bare kinds mark a member unresolved at compile time, whatever class 0 is.
    for (TMemberRefKind kind : {mrPropertyRead, mrPropertyWrite, mrMethod}) {
        ASSERT_TRUE(TryPackMemberReference(kind, 0, 0, packed));
        EXPECT_EQ(packed, int32_t(kind));
        EXPECT_TRUE(IsUnresolvedMemberReference(packed));
    }
}

struct Counter {
    int calls = 0;
    void Run(TatVirtualMachine*) { ++calls; }
};

TEST(MethodPointers, GenericProcRoundTripsAMachineProc) {
    Counter counter;
    TMachineProc proc = TMachineProc::Of<&Counter::Run>(&counter);
    TSimplifiedCode code(inCallProc);
    code.vProc = GenericProc(proc);
    EXPECT_TRUE(AssignedMethod(code.vProc));
    TMachineProc back = MachineProcOf(code.vProc);
    EXPECT_TRUE(SameMethod(back, proc));
    back(nullptr);
    EXPECT_EQ(counter.calls, 1);
    EXPECT_FALSE(AssignedMethod(TGenericProc{}));
}

class CoreConstants : public ::testing::Test {
protected:
    void SetUp() override { StartEngineValues(); }
    void TearDown() override { StopEngineValues(); }
};

TEST_F(CoreConstants, FiveValuesInScriptWordOrder) {
    EXPECT_EQ(CoreConst[0].VType(), varBoolean);
    EXPECT_TRUE(CoreConst[0].RawBoolean());
    EXPECT_EQ(CoreConst[1].VType(), varBoolean);
    EXPECT_FALSE(CoreConst[1].RawBoolean());
    EXPECT_EQ(CoreConst[2].VType(), varNull);
    EXPECT_EQ(CoreConst[3].VType(), varEmpty);
    EXPECT_EQ(CoreConst[4].VType(), varByte);
    EXPECT_EQ(CoreConst[4].RawByte(), 0);
    EXPECT_EQ(NullValue.VType(), varNull);
    EXPECT_EQ(VarContent(CoreConst[2]), "Null");
}

TEST(CoreConstantsLifecycle, EmptyUntilStartedAndAfterStopped) {
    StopEngineValues();
    EXPECT_EQ(CoreConst[2].VType(), varEmpty);
    EXPECT_EQ(NullValue.VType(), varEmpty);
    StartEngineValues();
    EXPECT_EQ(CoreConst[2].VType(), varNull);
    StopEngineValues();
    EXPECT_EQ(NullValue.VType(), varEmpty);
}

} // namespace
} // namespace vorn::engine
