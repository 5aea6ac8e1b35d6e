// The keyword lists, one per first letter. Order matters: the first entry whose name matches wins, so
// "orient" is tried before "or" and "tron" before "troff"'s shorter rivals. The editing commands come last
// in their lists, where they can only match text that matched no keyword before.
#include "tokens.h"

namespace tavik {
namespace {

const KeywordEntry listA[] = {{T_AND, u"and"}, {T_ABS, u"abs"}, {T_AUTO, u"auto"}, {0, nullptr}};
const KeywordEntry listB[] = {{T_BREAK, u"break"}, {T_BCOLOR, u"bcolor"}, {0, nullptr}};
const KeywordEntry listC[] = {
    {T_CHR, u"chr"}, {T_CLS, u"cls"}, {T_CONT, u"cont"}, {T_CONSOLE, u"console"}, {0, nullptr}};
const KeywordEntry listD[] = {
    {T_DEBUG, u"debug"}, {T_DEFFONTSIZE, u"deffontsize"}, {T_DELETE, u"delete"}, {0, nullptr}};
const KeywordEntry listE[] = {{T_END, u"end"}, {T_EXIT, u"exit"}, {0, nullptr}};
const KeywordEntry listF[] = {{T_FOR, u"for"}, {T_FCOLOR, u"fcolor"}, {0, nullptr}};
const KeywordEntry listG[] = {
    {T_GOTO, u"goto"}, {T_GOSUB, u"gosub"}, {T_GRAPH, u"graph"}, {T_GCLS, u"gcls"}, {0, nullptr}};
const KeywordEntry listI[] = {{T_IF, u"if"}, {T_INPUT, u"input"}, {0, nullptr}};
const KeywordEntry listK[] = {{T_KEY, u"key"}, {0, nullptr}};
const KeywordEntry listL[] = {{T_LOCATE, u"locate"}, {T_LIST, u"list"}, {T_LOAD, u"load"}, {0, nullptr}};
const KeywordEntry listM[] = {{T_MERGE, u"merge"}, {0, nullptr}};
const KeywordEntry listN[] = {{T_NEXT, u"next"}, {T_NOT, u"not"}, {T_NEW, u"new"}, {0, nullptr}};
const KeywordEntry listO[] = {{T_ORIENT, u"orient"}, {T_OR, u"or"}, {0, nullptr}};
const KeywordEntry listP[] = {{T_PRINT, u"print"},   {T_PSET, u"pset"},     {T_POINTR, u"pointr"},
                              {T_POINTG, u"pointg"}, {T_POINTB, u"pointb"}, {0, nullptr}};
const KeywordEntry listR[] = {{T_REM, u"rem"}, {T_RETURN, u"return"},       {T_RND, u"rnd"},
                              {T_RUN, u"run"}, {T_RANDOMIZE, u"randomize"}, {T_RENUM, u"renum"},
                              {0, nullptr}};
const KeywordEntry listS[] = {
    {T_STEP, u"step"}, {T_SAVE, u"save"}, {T_SCREENPEEK, u"screenpeek"}, {0, nullptr}};
const KeywordEntry listT[] = {{T_THEN, u"then"}, {T_TO, u"to"},       {T_TICK, u"tick"},
                              {T_TRON, u"tron"}, {T_TROFF, u"troff"}, {0, nullptr}};
const KeywordEntry listW[] = {{T_WAITMS, u"waitms"},
                              {T_WAITCHAR, u"waitchar"},
                              {T_WAITKEY, u"waitkey"},
                              {T_WIDTH, u"width"},
                              {0, nullptr}};
const KeywordEntry listX[] = {{T_XOR, u"xor"}, {0, nullptr}};

// The lister's reverse map, built once from the lists in letter order.
struct NameByToken {
    const char16_t* names[256] = {};
    NameByToken() {
        for (const KeywordEntry* list : KeywordTable) {
            if (!list) continue;
            for (const KeywordEntry* e = list; e->token != 0; ++e)
                if (!names[e->token]) names[e->token] = e->name;
        }
    }
};

} // namespace

const KeywordEntry* const KeywordTable[26] = {
    listA, listB, listC, listD,   listE, listF, listG, nullptr, listI,   nullptr, listK, listL,   listM,
    listN, listO, listP, nullptr, listR, listS, listT, nullptr, nullptr, listW,   listX, nullptr, nullptr,
};

const char16_t* keywordName(std::uint8_t token) {
    static const NameByToken map;
    return map.names[token];
}

} // namespace tavik
