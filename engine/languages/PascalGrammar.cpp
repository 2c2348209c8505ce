// The grammar text of the Pascal-like language: one rule per line (CR LF after each),
// a rule's number being its 0-based line. Rule numbers are named in PascalRules.def and
// the code generators refer to rules by them, so the text must not be reflowed.

#include "engine/languages/PascalGrammar.h"

namespace vorn::engine {

// 73 lines, 3462 characters.
const char* const reZUDERA_GRAMMAR =
    R"~(<program>: [program {@|_}[({@|#|_})][ ;]] [<libraries>] [<globaldecl>] [( <subroutine>)] <main>)~" "\r\n"
    R"~(<globaldecl>:({<constdecl>|<vardecl>}))~" "\r\n"
    R"~(<main>:[[({<constdecl>|<vardecl>})]{<block>[ .] |(<statement> )}])~" "\r\n"
    R"~(<libraries>:[({<uses>|<imports>} )])~" "\r\n"
    R"~(<uses>R:uses <id>[( , <id>)][ ;])~" "\r\n"
    R"~(<imports>R:imports <id>[( , <id>)][ ;])~" "\r\n"
    R"~(<subroutine>:{<procedure> <inputargs>|<function> <inputargs> [":" <id>]} [; ]{<external>|<forward>|[({<constdecl>|<vardecl>})] {<block>|<statement>}})~" "\r\n"
    R"~(<callingConvention>:{stdcall|safecall|cdecl|pascal|register})~" "\r\n"
    R"~(<external>:[<callingConvention> [; ]]external <filename> [name '<constname>'] [; ])~" "\r\n"
    R"~(<filename>:$)~" "\r\n"
    R"~(<forward>:forward[ ;])~" "\r\n"
    R"~(<procedure>:procedure <label>)~" "\r\n"
    R"~(<function>:function <label>)~" "\r\n"
    R"~(<inputargs>:["(" {<byref>|<byval>}[( ; {<byref>|<byval>})] ")"])~" "\r\n"
    R"~(<byref>:var~ <varname>[( , <varname>)][ ":" <vartype>])~" "\r\n"
    R"~(<byval>:<varname>[( , <varname>)][ ":" <vartype>])~" "\r\n"
    R"~(<constdecl>:(const (<constexpr>[ ;] )))~" "\r\n"
    R"~(<constexpr>:<constname> "=" <expression>)~" "\r\n"
    R"~(<constname>:{@|_}[({@|#|_})])~" "\r\n"
    R"~(<vardecl>:(var~ (<varlist>[ ;] )))~" "\r\n"
    R"~(<varlist>:<id>[( , <id>)][ ":" <vartype>])~" "\r\n"
    R"~(<varname>:<id>)~" "\r\n"
    R"~(<vartype>:{<arraydecl>|{@|_}[({@|#|_})]})~" "\r\n"
    R"~(<statement>:{<if>|<for>|<while>|<repeat>|<assign>|<try>|<call>|<case>|<with>}[( ; )])~" "\r\n"
    R"~(<block>:begin~ [({<block>|<statement>} )]end[ ;])~" "\r\n"
    R"~(<call>:<id><arg_list><indexing><call_code>[.<call>])~" "\r\n"
    R"~(<call_code>:[ as <as_class>])~" "\r\n"
    R"~(<call_ptr>:<id><arg_list><indexing><call_ptr_code>[ . <call_ptr>])~" "\r\n"
    R"~(<call_ptr_code>:[ as <as_class>])~" "\r\n"
    R"~(<data_val>:<id><arg_list><indexing><data_val_code>[ . <data_val>])~" "\r\n"
    R"~(<data_val_code>:[ as <as_class>])~" "\r\n"
    R"~(<data_ref>:<id><arg_list><indexing><data_ref_code>[ . <data_ref>])~" "\r\n"
    R"~(<data_ref_code>:[ as <as_class>])~" "\r\n"
    R"~(<arg_list>:[ "(" [<expression> [(, <expression> )]]")"])~" "\r\n"
    R"~(<indexing>:[( "[" <expression> [(, <expression> )]"]")])~" "\r\n"
    R"~(<assign>R:<data_ref> := <expression>)~" "\r\n"
    R"~(<push_output>:)~" "\r\n"
    R"~(<for>:{<for_control> [step <step>]|<for_downto_control>} do {<block>|<statement>})~" "\r\n"
    R"~(<for_control>:for <id> := <expression> to <expression>)~" "\r\n"
    R"~(<for_downto_control>:for <id> := <expression> downto <expression>)~" "\r\n"
    R"~(<step>:[{-|+}](#)[.(#)][e[{-|+}](#)])~" "\r\n"
    R"~(<while>:while <while_control> do {<block>|<statement>})~" "\r\n"
    R"~(<while_control>:<expression>)~" "\r\n"
    R"~(<repeat>:repeat [({<block>|<statement>} )] <until>)~" "\r\n"
    R"~(<until>:until <expression>)~" "\r\n"
    R"~(<if>:if~ <expression> <then> [<else>])~" "\r\n"
    R"~(<then>:then {<block>|<statement>})~" "\r\n"
    R"~(<else>:else {<block>|<statement>})~" "\r\n"
    R"~(<expression>:{[<unary>]{<data_val>|"(" <expression> ")"}|<hex>|<real>|<string>|<vector>}[( <operator> {[<unary>]{<data_val>|"(" <expression> ")"}|<hex>|<real>|<string>|<vector>})])~" "\r\n"
    R"~(<operator>:{"^"|*|/|and~|+|-|or~|"<>"|">="|"<="|"="|">"|"<"|div~|mod~|xor~|shl~|shr~|is~})~" "\r\n"
    R"~(<unary>:{not~ |-|+})~" "\r\n"
    R"~(<label>:<id>)~" "\r\n"
    R"~(<id>:{@|_}[({@|#|_})])~" "\r\n"
    R"~(<real>:[{-|+}](#)[<frac>][<exp>])~" "\r\n"
    R"~(<hex>:"$"({#|a|b|c|d|e|f}))~" "\r\n"
    R"~(<frac>:.(#))~" "\r\n"
    R"~(<exp>:e[{-|+}](#))~" "\r\n"
    R"~(<string>:({$|"#"(#)|"#$"({#|a|b|c|d|e|f})}))~" "\r\n"
    R"~(<vector>:"[" [<expression> [(, <expression> )]]"]")~" "\r\n"
    R"~(<try>:try~ <try_statements>{<finally>|<except>} <try_upshot>end)~" "\r\n"
    R"~(<finally>:finally)~" "\r\n"
    R"~(<except>:except)~" "\r\n"
    R"~(<try_statements>:[({<block>|<statement>} )])~" "\r\n"
    R"~(<try_upshot>:[({<block>|<statement>} )])~" "\r\n"
    R"~(<case>:case <case_expr> of <case_branch> end)~" "\r\n"
    R"~(<case_expr>:<expression>)~" "\r\n"
    R"~(<case_branch>:{<case_test> [(, <case_test> )]: <case_match>[ <case_branch>]|[else {<block>|<statement>}]})~" "\r\n"
    R"~(<case_test>:<expression>)~" "\r\n"
    R"~(<case_match>:{<block>|<statement>})~" "\r\n"
    R"~(<with>:with <with_obj> [(, <with_obj> )]do {<block>|<statement>})~" "\r\n"
    R"~(<with_obj>:<data_val>)~" "\r\n"
    R"~(<as_class>:{@|_}[({@|#|_})])~" "\r\n"
    R"~(<arraydecl>:array "[" [ "0" ".." ] <real> "]"[ of <id>])~" "\r\n";

std::string_view PascalGrammarText() { return reZUDERA_GRAMMAR; }

std::string_view PascalRuleName(int rule) {
    static constexpr std::string_view names[] = {
#define VORN_PASCAL_RULE(Id, Number, Name) Name,
#include "engine/languages/PascalRules.def"
    };
    if (rule < 0 || rule >= PascalRuleCount) return {};
    return names[rule];
}

} // namespace vorn::engine
