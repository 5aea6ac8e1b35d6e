#pragma once
// The one list of the language's keywords. The token enum (tokens.h), the spellings the tokenizer matches and
// the lister prints (keywords.cpp), the statement table (execute.cpp) and the statements' declarations
// (interpreter.h) are all made from it.
//
// To add a statement FOO:
//  1. add `X(FOO, Foo, u"foo")` at the END of TAVIK_STATEMENTS (its token is the next free code, so no
//     existing code moves);
//  2. write `void Interpreter::stFoo()` in the statement file it belongs with (entered with readPtr just past
//     its token; on an error report and return, see errors.cpp);
//  3. add a session test in tests/sessions/.
// Free statement codes: from 0x80 + STATEMENT_COUNT (0xA1 today) up to 0xAF; the static_asserts in tokens.h
// stop the build if the list runs into the operators at 0xB0.
// A keyword that is no statement (an operator, a function, a word inside a statement) goes in TAVIK_KEYWORDS
// with its code; free codes: 0xB3-0xB7 and 0xB9-0xBF (operators), 0xCC-0xEF (functions), 0xF4-0xFE (words).
// Where two spellings begin a typed word, the longer wins ("orient" over "or"): keywords.cpp orders the lists
// so. Order in these lists means nothing else.

// Statements, in token order from 0x80: X(token name, handler stName, spelling).
#define TAVIK_STATEMENTS(X)                                                                                  \
    X(IF, If, u"if")                                                                                         \
    X(PRINT, Print, u"print")                                                                                \
    X(LOCATE, Locate, u"locate")                                                                             \
    X(CLS, Cls, u"cls")                                                                                      \
    X(GOTO, Goto, u"goto")                                                                                   \
    X(GOSUB, Gosub, u"gosub")                                                                                \
    X(RETURN, Return, u"return")                                                                             \
    X(FOR, For, u"for")                                                                                      \
    X(NEXT, Next, u"next")                                                                                   \
    X(END, End, u"end")                                                                                      \
    X(BREAK, Break, u"break")                                                                                \
    X(REM, Rem, u"rem")                                                                                      \
    X(NEW, New, u"new")                                                                                      \
    X(LIST, List, u"list")                                                                                   \
    X(RUN, Run, u"run")                                                                                      \
    X(CONT, Cont, u"cont")                                                                                   \
    X(SAVE, Save, u"save")                                                                                   \
    X(LOAD, Load, u"load")                                                                                   \
    X(MERGE, Merge, u"merge")                                                                                \
    X(RANDOMIZE, Randomize, u"randomize")                                                                    \
    X(EXIT, Exit, u"exit")                                                                                   \
    X(DEBUG, Debug, u"debug")                                                                                \
    X(WAITMS, Waitms, u"waitms")                                                                             \
    X(WIDTH, Width, u"width")                                                                                \
    X(TRON, Tron, u"tron")                                                                                   \
    X(TROFF, Troff, u"troff")                                                                                \
    X(ORIENT, Orient, u"orient")                                                                             \
    X(FCOLOR, Fcolor, u"fcolor")                                                                             \
    X(BCOLOR, Bcolor, u"bcolor")                                                                             \
    X(CONSOLE, Console, u"console")                                                                          \
    X(GRAPH, Graph, u"graph")                                                                                \
    X(GCLS, Gcls, u"gcls")                                                                                   \
    X(PSET, Pset, u"pset")                                                                                   \
    X(AUTO, Auto, u"auto")                                                                                   \
    X(RENUM, Renum, u"renum")                                                                                \
    X(DELETE, Delete, u"delete")

// Every other keyword: X(token name, code, spelling).
#define TAVIK_KEYWORDS(X)                                                                                    \
    X(AND, 0xB0, u"and")                                                                                     \
    X(OR, 0xB1, u"or")                                                                                       \
    X(XOR, 0xB2, u"xor")                                                                                     \
    X(NOT, 0xB8, u"not")                                                                                     \
    X(WAITCHAR, 0xC0, u"waitchar")                                                                           \
    X(WAITKEY, 0xC1, u"waitkey")                                                                             \
    X(RND, 0xC2, u"rnd")                                                                                     \
    X(ABS, 0xC3, u"abs")                                                                                     \
    X(TICK, 0xC4, u"tick")                                                                                   \
    X(INPUT, 0xC5, u"input")                                                                                 \
    X(KEY, 0xC6, u"key")                                                                                     \
    X(POINTR, 0xC7, u"pointr")                                                                               \
    X(POINTG, 0xC8, u"pointg")                                                                               \
    X(POINTB, 0xC9, u"pointb")                                                                               \
    X(SCREENPEEK, 0xCA, u"screenpeek")                                                                       \
    X(DEFFONTSIZE, 0xCB, u"deffontsize")                                                                     \
    X(THEN, 0xF0, u"then")                                                                                   \
    X(CHR, 0xF1, u"chr")                                                                                     \
    X(TO, 0xF2, u"to")                                                                                       \
    X(STEP, 0xF3, u"step")
