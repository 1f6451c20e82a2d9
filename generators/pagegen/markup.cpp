#include "generators/pagegen/markup.h"

#include "generators/pagegen/page_drawing.h"
#include "generators/pagegen/text_input.h"

#include <map>
#include <stdexcept>

namespace generators {

namespace {

class PageParser {
  public:
    PageParser(const std::string& source, std::string_view text, const PageContext& context)
        : lines(source, text), context(context) {}

    Page parse() {
        while (lines.next()) statement(lines.words());
        if (page.columns == 0) lines.fail("the page has no size");
        return std::move(page);
    }

  private:
    void statement(const std::vector<std::string>& w) {
        const std::string& keyword = w[0];
        if (keyword == "size" && w.size() == 3) {
            if (page.columns) lines.fail("size given twice");
            page = Page(lines.integer(w[1], 1, 4096), lines.integer(w[2], 1, 4096));
            return;
        }
        if (page.columns == 0) lines.fail("the page must start with its size");
        if (keyword == "style" && w.size() == 4) {
            if (w[1].size() != 1 || w[1] == "-") lines.fail("a style is one letter");
            styles[w[1][0]] = {0, lines.integer(w[2], 0, 255), lines.integer(w[3], -1, 255)};
        } else if (keyword == "text" && w.size() == 5) {
            auto line = codes(w[4]);
            put(column(w[1], int(line.size())), row(w[2]), line, &style(w[3]), false);
        } else if (keyword == "art" && (w.size() == 3 || w.size() == 4)) {
            block(w, [&](int x, int y, const std::string& line) {
                put(x, y, codes(line), w.size() == 4 ? &style(w[3]) : nullptr, true);
            });
        } else if (keyword == "paint" && w.size() == 3) {
            block(w, [&](int x, int y, const std::string& line) {
                for (size_t i = 0; i < line.size(); ++i) {
                    if (line[i] == ' ' || !page.contains(x + int(i), y)) continue;
                    Cell& cell = page.at(x + int(i), y);
                    const Cell& s = style(std::string(1, line[i]));
                    cell.fg = s.fg;
                    cell.bg = s.bg;
                }
            });
        } else if (keyword == "fill" && (w.size() == 6 || w.size() == 7)) {
            int width = lines.integer(w[3], 1, 4096), height = lines.integer(w[4], 1, 4096);
            int ch = w.size() == 7 ? singleCode(w[6]) : 32;
            int x0 = column(w[1], width), y0 = row(w[2]);
            const Cell& s = style(w[5]);
            for (int y = y0; y < y0 + height; ++y)
                for (int x = x0; x < x0 + width; ++x) set(x, y, ch, &s);
        } else if (keyword == "box" && w.size() == 7) {
            int width = lines.integer(w[3], 2, 4096), height = lines.integer(w[4], 2, 4096);
            if (w[5] != "single" && w[5] != "double") lines.fail("a box is single or double");
            drawBox(page, column(w[1], width), row(w[2]), width, height, w[5] == "double", style(w[6]));
        } else if (keyword == "hline" && w.size() == 6) {
            int width = lines.integer(w[3], 1, 4096);
            auto pattern = codes(w[5]);
            if (pattern.empty()) lines.fail("empty pattern");
            int x0 = column(w[1], width), y = row(w[2]);
            for (int i = 0; i < width; ++i) set(x0 + i, y, pattern[size_t(i) % pattern.size()], &style(w[4]));
        } else if (keyword == "banner" && (w.size() == 8 || (w.size() == 9 && w[8] == "bold"))) {
            banner(w);
        } else {
            lines.fail("cannot read '" + lines.line() + "'");
        }
    }

    void banner(const std::vector<std::string>& w) {
        BannerLook look;
        look.columnsPerPixel = lines.integer(w[3], 1, 8);
        look.halfRowsPerPixel = lines.integer(w[4], 1, 8);
        for (char letter : w[5]) look.rowColours.push_back(style(std::string(1, letter)));
        if (look.rowColours.empty()) lines.fail("a banner needs at least one style letter");
        look.bold = w.size() == 9;
        look.shadow = w[6] != "-";
        if (look.shadow) look.shadowColour = style(w[6]);
        try {
            int width = bannerWidth(context.blockFont, w[7], look);
            drawBanner(page, context.blockFont, column(w[1], width), row(w[2]), w[7], look);
        } catch (const std::runtime_error& error) {
            lines.fail(error.what());
        }
    }

    // Reads the |...| lines of an art or paint block and hands each one, without its bars, to draw.
    template <typename Draw> void block(const std::vector<std::string>& w, Draw draw) {
        int x = lines.integer(w[1], -4096, 4096), y = row(w[2]);
        for (int line = 0;; ++line) {
            if (!lines.nextRaw()) lines.fail("the block has no 'end'");
            std::string text = lines.line();
            size_t first = text.find_first_not_of(' ');
            if (first != std::string::npos && text.compare(first, 3, "end") == 0 &&
                text.find_first_not_of(' ', first + 3) == std::string::npos)
                return;
            size_t open = text.find('|'), close = text.rfind('|');
            if (open == std::string::npos || close == open) lines.fail("a block line is written |...|");
            draw(x, y + line, text.substr(open + 1, close - open - 1));
        }
    }

    // Text writes every character; art skips its spaces so that it lays over what is already there.
    void put(int x, int y, const std::vector<int32_t>& codes, const Cell* s, bool skipSpaces) {
        for (size_t i = 0; i < codes.size(); ++i)
            if (!(skipSpaces && codes[i] == 32)) set(x + int(i), y, codes[i], s);
    }

    std::vector<int32_t> codes(const std::string& text) {
        try {
            return toCodes(context.codePage, text);
        } catch (const std::runtime_error& error) {
            lines.fail(error.what());
        }
    }

    void set(int x, int y, int ch, const Cell* s) {
        if (!page.contains(x, y)) return;
        Cell& cell = page.at(x, y);
        cell.ch = ch;
        if (s) {
            cell.fg = s->fg;
            cell.bg = s->bg;
        }
    }

    const Cell& style(const std::string& letter) {
        auto found = letter.size() == 1 ? styles.find(letter[0]) : styles.end();
        if (found == styles.end()) lines.fail("unknown style '" + letter + "'");
        return found->second;
    }

    int singleCode(const std::string& text) {
        auto single = codes(text);
        if (single.size() != 1) lines.fail("expected one character, got '" + text + "'");
        return single[0];
    }

    int column(const std::string& word, int width) {
        return word == "centre" ? (page.columns - width) / 2 : lines.integer(word, -4096, 4096);
    }
    int row(const std::string& word) { return lines.integer(word, -4096, 4096); }

    LineReader lines;
    const PageContext& context;
    Page page;
    std::map<char, Cell> styles;
};

} // namespace

Page parsePage(const std::string& source, std::string_view text, const PageContext& context) {
    try {
        return PageParser(source, text, context).parse();
    } catch (const std::runtime_error& error) {
        std::string message = error.what();
        if (message.rfind(source + ":", 0) == 0) throw;
        throw std::runtime_error(source + ": " + message);
    }
}

} // namespace generators
