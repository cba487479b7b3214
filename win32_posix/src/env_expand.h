/*
 * env_expand.h - %name% expansion with Windows' rules, over a lookup function,
 * and the way Windows writes an expansion into a buffer that may be too small.
 * Pure: no system calls; environment.cpp supplies the variables.
 *
 *   splitExpansion    source text -> literal pieces and variable values
 *   expandedText      the whole expansion as one text
 *   writeExpansion    pieces -> caller's buffer, Windows' small-buffer rule
 */
#ifndef WIN32_POSIX_ENV_EXPAND_H
#define WIN32_POSIX_ENV_EXPAND_H

#include <functional>
#include <vector>

#include "../include/win32_posix/text.h"

namespace w32p {

// Finds a variable by name (the text between two % signs, exactly as written):
// true and its value when it exists.
using EnvLookup = std::function<bool(wstring_view name, wstring& value)>;

// A run of the expanded text: either literal text of the source (plain text,
// a %name% that names no variable, a lone %) or the value of a variable.
struct ExpandPiece {
    wstring text;
    bool isValue = false;
};

// Splits `source` as ExpandEnvironmentStringsW reads it: % signs pair up from
// left to right; "%name%" of an existing variable becomes its value (which is
// not expanded again); "%name%" of a missing variable, "%%" and an unpaired
// % stay as written, and the scan goes on after the closing %.
std::vector<ExpandPiece> splitExpansion(wstring_view source, const EnvLookup& lookup);

// The whole expanded text.
wstring expandedText(const std::vector<ExpandPiece>& pieces);

// Writes the pieces into `dst` (`size` code units; a null `dst` counts as
// size 0) and returns the size the whole text needs, terminator included.
// When that fits, `dst` holds the text and its terminator. When it does not,
// `dst` is written as Windows writes it: literal text goes in up to size - 1
// units, without a terminator; a variable's value goes in only whole and
// followed by its terminator, and a value that does not fit leaves a
// terminator where it would have started. Nothing is written past `size`.
size_t writeExpansion(const std::vector<ExpandPiece>& pieces, WCHAR* dst, size_t size);

}  // namespace w32p

#endif
