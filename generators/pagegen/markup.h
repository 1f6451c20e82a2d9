// Page sources: text-mode screens written as readable text with colour markup.
//
// One statement per line ('#' starts a comment). Colours are named by style letters, each a foreground
// and a background index (-1: no background). A column may be given as `centre` to centre the item.
//   size COLUMNS ROWS
//   style L FG BG
//   text COLUMN ROW L "words"               characters in style L
//   art COLUMN ROW [L]                      then lines |...| up to "end": characters; a space leaves the
//                                           cell as it is, so art overlays what lies below
//   paint COLUMN ROW                        then lines |...| up to "end": style letters; a space leaves the
//                                           cell's colours as they are
//   fill COLUMN ROW WIDTH HEIGHT L ["c"]    a rectangle of one character (default space) in style L
//   box COLUMN ROW WIDTH HEIGHT single|double L
//   hline COLUMN ROW WIDTH L "pattern"      the pattern repeated over WIDTH columns
//   banner COLUMN ROW SX SY LETTERS SHADOW "TEXT" [bold]
//                                           block letters, each font pixel SX columns wide and SY half
//                                           rows high; LETTERS gives the style of each cell row (the last
//                                           repeats; a style with a background shades its row with the
//                                           dark shade over that colour), SHADOW the shadow's style or
//                                           '-' for none; bold
//                                           thickens every stroke by one pixel to the right
// Characters are UTF-8 and must exist in code page 437.
#pragma once

#include "generators/pagegen/block_letters.h"
#include "generators/pagegen/cells.h"
#include "generators/pagegen/cp437.h"

#include <string>
#include <string_view>

namespace generators {

struct PageContext {
    const Cp437Table& codePage;
    const BlockFont& blockFont;
};

Page parsePage(const std::string& source, std::string_view text, const PageContext& context);

} // namespace generators
