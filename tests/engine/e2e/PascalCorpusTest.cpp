// The script corpus: each tests/data/scripts/NAME.pas runs its main block and must write
// exactly NAME.out. Scripts that are also Object Pascal programs have their .out from
// Free Pascal (fpc_golden.sh beside them); the others, which use what only this
// language has (values of any kind in one variable, Null), have hand-checked .out files.

#include "tests/engine/e2e/PascalRunFixture.h"

namespace vorn::engine::e2e {
namespace {

class PascalCorpusTest : public PascalRunFixture, public ::testing::WithParamInterface<const char*> {};

TEST_P(PascalCorpusTest, WritesItsExpectedOutput) {
    const std::string name = GetParam();
    const std::string source = DataFile(name + ".pas");
    ASSERT_FALSE(source.empty()) << name;
    std::string output;
    try {
        output = Run(source);
    } catch (const platform::Exception& e) {
        FAIL() << name << ": " << e.what() << "\noutput so far:\n" << FOutput;
    }
    EXPECT_EQ(output, DataFile(name + ".out")) << name;
}

INSTANTIATE_TEST_SUITE_P(Scripts, PascalCorpusTest,
                         ::testing::Values("statements", "operators", "routines", "arrays", "trys", "variants"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

} // namespace
} // namespace vorn::engine::e2e
