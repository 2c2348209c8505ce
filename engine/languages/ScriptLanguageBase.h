#pragma once
// What the script languages share on top of the back end of TatScript: operator
// precedence with short-circuit labels, argument and index lists with by-reference
// candidates, and the resolution and code of member-chain elements (variables, script
// routines, with-members, properties, methods, classes, casts, keywords). A language
// derives from it, loads its grammar and says which rules play which part.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/compiler/ElementContext.h"
#include "engine/compiler/Script.h"

namespace vorn::engine {

enum class TLanguageMessage {
#define VORN_LANGUAGE_MESSAGE(Id, Text) Id,
#include "engine/languages/LanguageMessages.def"
};

// The message with each '%s' / '%d' replaced by the next argument.
std::string LanguageMessage(TLanguageMessage id, std::string_view a1 = {}, std::string_view a2 = {},
                            std::string_view a3 = {});

enum TElementType : uint8_t {
    etUnknown, etVariable, etProperty, etMethod, etRoutine, etFunction, etClass, etKeyword, etTypeCast
};


enum TLoopStatement : uint8_t { lsNone, lsFor, lsWhile, lsRepeat };

class TatScriptLanguageBase : public TatScript {
public:
    explicit TatScriptLanguageBase(TatScripts* collection) : TatScript(collection) {}
    void Clear() override;

protected:
    using TPushVarList = std::vector<TSimplifiedCode*>;

    // ---- Emission and tree helpers -----------------------------------------------------
    // Appends an instruction positioned at the parser's current scanning position.
    TSimplifiedCode* Emit(TInstruction opcode);
    // Appends a jump (or test, or call) and binds it to the label.
    TSimplifiedCode* EmitJump(TInstruction opcode, const std::string& label);
    static TNoTerminalNode* Child(const TNoTerminalNode* node, int i);
    static int RuleOf(const TNoTerminalNode* node);
    static std::string TextOf(const TNoTerminalNode* node);
    // A node of the same rule as its parent follows the dot of a member chain.
    static bool FollowsDot(const TNoTerminalNode* node);
    // Pops that tolerate an empty stack in a silent compilation (half-typed text leaves
    // the stacks unbalanced); in a normal compilation an empty stack is a generator
    // defect and raises the back end's error.
    int32_t PopInt(TStackType stack, int32_t fallback = 0);
    std::string PopString(TStackType stack);
    double PopDouble(TStackType stack, double fallback = 1);
    bool PopBool(TStackType stack);
    bool CanPop(TStackType stack);
    void ReportError(const std::string& message, int position) { CompileError(message, position); }

    // ---- Operators ------------------------------------------------------------------------
    virtual int OperatorLevel(TInstruction opcode) const = 0;
    // The start of an expression: a delimiter on the pending-operator stack.
    void BeginExpression();
    // A binary operator: emits the pending ones that bind at least as tightly, then the
    // short-circuit test of "or" / "and" when enabled, and parks the operator.
    void PushBinaryOperator(TInstruction opcode);
    void PushUnaryOperator(TInstruction opcode);
    // The end of an expression: emits every pending operator down to the delimiter.
    void EndExpression();

    // ---- Argument and index lists ------------------------------------------------------
    void EnterArgList(bool hasArguments);
    void LeaveArgList(bool hasArguments);
    void EnterIndexing(bool hasIndexes);
    void LeaveIndexing(bool hasIndexes);

    // ---- Chain elements -------------------------------------------------------------------
    // Compiles one element of a member chain from its code node (siblings: identifier,
    // argument list, index list); the arguments and indexes are already on the stack.
    void MakeDataElementCode(TNoTerminalNode* codeNode, TDataOperation operation);
    // Keywords that stand where a name is expected; true when code was emitted.
    virtual bool SpecialKeyWord(const std::string& upperName, TDataOperation operation) = 0;
    virtual int ExpressionRule() const = 0;
    virtual int ArgListRule() const = 0;
    // The as-cast that follows a chain element.
    void CastToClass(const std::string& className);

    int FOperatorCount = 0;
    int FCurrentOperator = 0;
    TatClass* FCurrentClass = nullptr;
    bool FIsClassReference = false;
    uint32_t FLastByRefArgMask = 0;
    uint32_t FByRefArgMask = 0;
    // Every candidate list made during the compilation; the two pointers below refer
    // into it. Lists of finished elements are freed at once.
    std::vector<std::unique_ptr<TPushVarList>> FPushVarListObjects;
    TPushVarList* FPushVarList = nullptr;
    TPushVarList* FLastPushVarList = nullptr;
    // The with-object temporaries in force, innermost last (the with statement's
    // stTempVariables, kept typed for the same reason as the chain states below).
    std::vector<TatVariableInfo*> FWithVariables;

private:
    struct TElement;
    // The saved chain state of an enclosing element while its lists compile; kept in
    // typed stacks rather than as raw pointers in variants, so an unbalanced partial
    // tree in a silent compilation can never hand back a forged pointer.
    struct TChainState {
        TatClass* CurrentClass;
        bool IsClassReference;
        uint32_t ByRefArgMask;
        TPushVarList* PushVarList;
    };
    void EmitPendingOperator(int64_t entry);
    void FreePushVarList(TPushVarList*& list);
    TPushVarList* NewPushVarList();

    bool LookupElement(TElement& e);
    bool KnownVariable(TElement& e);
    bool KnownRoutine(TElement& e);
    bool KnownWithMember(TElement& e, bool method);
    bool KnownProperty(TElement& e);
    bool KnownMethod(TElement& e);
    bool KnownClass(TElement& e, bool typeCast);
    void ReportUnknownElement(TElement& e);
    void ApplyDefaultProperty(TElement& e);
    void GenerateElementCode(TElement& e, bool hasSubNode);
    void GenerateVariableCode(TElement& e, bool hasSubNode);
    void GeneratePropertyCode(TElement& e, TatProperty* property, const std::string& name, int idxCount,
                              bool hasSubNode, int instance);
    void GenerateMethodCode(TElement& e, bool hasSubNode);
    void GenerateRoutineCode(TElement& e, bool hasSubNode);
    bool CheckMethodArguments(TElement& e);
    // True when every by-reference parameter got a bare variable; else reports `message`.
    bool CheckByRefArguments(TElement& e, uint32_t calleeMask, TLanguageMessage message, const std::string& name);
    void UpdateByRefPushVars(const std::function<bool(int)>& isByRef);
    int ArgumentPosition(TNoTerminalNode* element) const;

    std::vector<TChainState> FArgListStates;
    std::vector<TChainState> FIndexStates;
    std::vector<TPushVarList*> FIndexPushVarLists;
};

} // namespace vorn::engine
