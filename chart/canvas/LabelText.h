#pragma once

// Label text: the faces that serve a font's texts, and each text laid out once as the glyphs it
// is drawn with. The chart measures and draws the same few labels in the same font over and
// over; everything here is built once per font and per text.

#include "chart/canvas/ChartCanvas.h"

#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRawFont>

#include <compare>
#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

// What a font's faces are built from.
struct TFontKey {
    std::string Name;
    double Size = 0; // points
    int Style = 0;
    auto operator<=>(const TFontKey&) const = default;
};

// The glyphs of one text, in runs of one face each, where each glyph starts, and the advance
// width of the text without its trailing blanks.
struct TTextRun {
    struct TPiece {
        std::size_t Face = 0;
        QList<quint32> Glyphs;
        QList<QPointF> Positions;
    };
    std::vector<TPiece> Pieces;
    double TrimmedWidth = 0;
};

class TLabelText {
public:
    // The font that measures and lays out texts from now on; its own face is built the first
    // time it is chosen.
    void Select(const TChartFont& font);
    const TFontKey& Font() const { return *IOldFont; }

    // The em of the font in pixels, at 96 dots per inch.
    double EmPixels() const;
    // The empty space of the layout box on each side of a text.
    double Padding() const { return EmPixels() / 6; }
    // From the top of the layout box to the baseline, and the height of the box.
    double Ascent() const { return FAscent; }
    double LineHeight() const { return FLineHeight; }
    // Whether the font's own face has glyphs to draw with.
    bool Drawable() const { return FFaces->Faces.front().Drawing.isValid(); }

    const TTextRun& Run(const std::string& text);
    // What a run is drawn with: one glyph run for each face that serves its characters.
    QList<QGlyphRun> GlyphRuns(const TTextRun& run) const;

    // How often a font's own face was built.
    int FontBuilds() const { return FFontBuilds; }

private:
    // A face that serves a font's texts: at the drawing size, and at one pixel per font unit,
    // where advances and line metrics are exact integers to scale from. The first face of a
    // font is the one it names; others stand in for characters it has no glyph for.
    struct TFace {
        QRawFont Drawing;
        QRawFont Unit;
    };
    static TFace MakeFace(const QRawFont& raw, double emPixels);

    // The face and the character drawn for a character of a text.
    struct TStandIn {
        std::size_t Face = 0;
        char32_t Character = 0;
    };

    // What is known of one font: its faces, its own first; for each character that its own
    // face has no glyph for, the face and the character drawn in its place (the same character
    // from another face, or an equivalent one); its measured texts.
    struct TFontFaces {
        std::vector<TFace> Faces;
        std::map<char32_t, TStandIn> StandIns;
        std::unordered_map<std::string, TTextRun> Runs;
    };

    TTextRun MeasureRun(const std::string& text);
    TStandIn StandInFor(char32_t character);
    std::optional<std::size_t> FallbackFace(char32_t character);

    std::map<TFontKey, TFontFaces> FFonts;
    // The font selected last, and its faces.
    std::optional<TFontKey> IOldFont;
    TFontFaces* FFaces = nullptr;
    double FAscent = 0;
    double FLineHeight = 0;
    int FFontBuilds = 0;
    // How many texts are measured, over all fonts.
    std::size_t FRunCount = 0;
};
