#include "chart/canvas/LabelText.h"

#include <QFont>
#include <QString>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

constexpr double ImageDpi = 96;
constexpr double MinFontPoints = 0.1;
// Measured texts kept before all are measured anew.
constexpr std::size_t MaxTextRuns = 4096;

QFont LabelFont(const QString& family, int style, double emPixels) {
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setBold((style & fsBold) != 0);
    font.setItalic((style & fsItalic) != 0);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setPixelSize(std::max(1, static_cast<int>(std::nearbyint(emPixels))));
    return font;
}

// A face's line box in font units: its ascender, its descender and the gap it asks for between
// lines, as its horizontal header records them. Qt's own figures depend on its version: newer
// ones take the Windows clipping heights and drop the line gap, which would make a label line
// of Liberation Sans a pixel lower and move the axes. A face without that header keeps Qt's.
struct TLineMetrics {
    double Ascent = 0;
    double Descent = 0;
    double Gap = 0;
};

TLineMetrics LineMetrics(const QRawFont& unit) {
    const QByteArray hhea = unit.fontTable("hhea");
    const auto field = [&](int offset) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(hhea.constData() + offset);
        return static_cast<std::int16_t>((bytes[0] << 8) | bytes[1]);
    };
    if (hhea.size() >= 10 && field(4) > 0) {
        const double ascender = field(4);
        const double descender = -static_cast<double>(field(6));
        const double gap = std::max<double>(0, field(8));
        return {ascender, descender, gap};
    }
    return {unit.ascent(), unit.descent(), unit.leading()};
}

// Characters that separate digit groups or decimals in some locale, and what may be drawn in
// their place, nearest first, when no installed face has a glyph for them.
const std::map<char32_t, std::vector<char32_t>> SeparatorEquivalents{
    {U'\u202F', {U'\u2009', U' '}}, // narrow no-break space (French)
    {U'\u00A0', {U' '}},            // no-break space
    {U'\u2007', {U' '}},            // figure space
    {U'\u2009', {U' '}},            // thin space
    {U'\u200A', {U' '}},            // hair space
    {U'\u2019', {U'\''}},           // right single quotation mark (Swiss German)
    {U'\u066C', {U','}},            // Arabic thousands separator
    {U'\u066B', {U','}},            // Arabic decimal separator
};

} // namespace

void TLabelText::Select(const TChartFont& font) {
    if (IOldFont && IOldFont->Name == font.Name && IOldFont->Size == font.Size &&
        IOldFont->Style == font.Style)
        return;
    IOldFont = TFontKey{font.Name, font.Size, font.Style};
    TFontFaces& faces = FFonts[*IOldFont];
    const double em = EmPixels();
    if (faces.Faces.empty()) {
        QRawFont raw =
            QRawFont::fromFont(LabelFont(QString::fromStdString(font.Name), font.Style, em));
        if (!raw.isValid())
            raw = QRawFont::fromFont(LabelFont(QStringLiteral("Sans Serif"), font.Style, em));
        faces.Faces.push_back(MakeFace(raw, em));
        ++FFontBuilds;
    }
    const QRawFont& unit = faces.Faces.front().Unit;
    FAscent = 0;
    FLineHeight = 0;
    if (unit.isValid()) {
        const TLineMetrics line = LineMetrics(unit);
        FAscent = line.Ascent * em / unit.unitsPerEm();
        FLineHeight = (line.Ascent + line.Descent + line.Gap) * em / unit.unitsPerEm();
    }
    FFaces = &faces;
}

double TLabelText::EmPixels() const {
    return std::max(IOldFont->Size, MinFontPoints) * ImageDpi / 72;
}

TLabelText::TFace TLabelText::MakeFace(const QRawFont& raw, double emPixels) {
    TFace face{raw, raw};
    if (raw.isValid()) {
        face.Unit.setPixelSize(raw.unitsPerEm());
        face.Drawing.setPixelSize(emPixels);
    }
    return face;
}

const TTextRun& TLabelText::Run(const std::string& text) {
    auto& runs = FFaces->Runs;
    const auto found = runs.find(text);
    if (found != runs.end())
        return found->second;
    if (FRunCount >= MaxTextRuns) {
        for (auto& [key, font] : FFonts)
            font.Runs.clear();
        FRunCount = 0;
    }
    ++FRunCount;
    TTextRun run = MeasureRun(text);
    return runs.emplace(text, std::move(run)).first->second;
}

// Advances are read from each face at one pixel per font unit, where they are whole numbers,
// and scaled to the font's size, so widths do not depend on how the renderer rounds glyphs.
// A text is measured with the glyphs it is drawn with, stand-ins included.
TTextRun TLabelText::MeasureRun(const std::string& text) {
    TTextRun run;
    if (!FFaces->Faces.front().Unit.isValid() || text.empty())
        return run;
    const double em = EmPixels();
    double pen = 0;
    double trimmed = 0;
    QString pieceText;
    std::size_t pieceFace = 0;
    auto flush = [&] {
        if (pieceText.isEmpty())
            return;
        const QRawFont& unit = FFaces->Faces[pieceFace].Unit;
        const double scale = em / unit.unitsPerEm();
        TTextRun::TPiece piece{pieceFace, unit.glyphIndexesForString(pieceText), {}};
        const QList<QPointF> advances = unit.advancesForGlyphIndexes(piece.Glyphs);
        const QList<uint> characters = pieceText.toUcs4();
        for (qsizetype i = 0; i < advances.size(); ++i) {
            piece.Positions.append(QPointF(pen, 0));
            pen += advances[i].x() * scale;
            if (i >= characters.size() || !QChar::isSpace(characters[i]))
                trimmed = pen;
        }
        run.Pieces.push_back(std::move(piece));
        pieceText.clear();
    };
    for (const uint character : QString::fromStdString(text).toUcs4()) {
        const TStandIn standIn = StandInFor(character);
        if (standIn.Face != pieceFace)
            flush();
        pieceFace = standIn.Face;
        const char32_t drawn = standIn.Character;
        pieceText.append(QString::fromUcs4(&drawn, 1));
    }
    flush();
    run.TrimmedWidth = trimmed;
    return run;
}

// The font's own face serves what it has glyphs for; for anything else another installed face
// that has the character, or else an equivalent character, is looked for once.
TLabelText::TStandIn TLabelText::StandInFor(char32_t character) {
    const QRawFont& own = FFaces->Faces.front().Unit;
    if (own.supportsCharacter(character))
        return TStandIn{0, character};
    auto& standIns = FFaces->StandIns;
    const auto known = standIns.find(character);
    if (known != standIns.end())
        return known->second;
    std::vector<char32_t> candidates{character};
    const auto equivalents = SeparatorEquivalents.find(character);
    if (equivalents != SeparatorEquivalents.end())
        candidates.insert(candidates.end(), equivalents->second.begin(), equivalents->second.end());
    TStandIn found{0, character};
    for (const char32_t candidate : candidates) {
        if (own.supportsCharacter(candidate)) {
            found = TStandIn{0, candidate};
            break;
        }
        if (const std::optional<std::size_t> face = FallbackFace(candidate)) {
            found = TStandIn{*face, candidate};
            break;
        }
    }
    standIns.emplace(character, found);
    return found;
}

// The face the platform's font matching picks for a character that the font's own face lacks.
std::optional<std::size_t> TLabelText::FallbackFace(char32_t character) {
    const double em = EmPixels();
    QTextLayout layout(QString::fromUcs4(&character, 1),
                       LabelFont(QString::fromStdString(IOldFont->Name), IOldFont->Style, em));
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& glyphs : layout.glyphRuns()) {
        const QRawFont raw = glyphs.rawFont();
        if (!raw.isValid() || !raw.supportsCharacter(character))
            continue;
        std::vector<TFace>& faces = FFaces->Faces;
        for (std::size_t i = 1; i < faces.size(); ++i) {
            if (faces[i].Unit.familyName() == raw.familyName() &&
                faces[i].Unit.styleName() == raw.styleName())
                return i;
        }
        faces.push_back(MakeFace(raw, em));
        return faces.size() - 1;
    }
    return std::nullopt;
}

QList<QGlyphRun> TLabelText::GlyphRuns(const TTextRun& run) const {
    QList<QGlyphRun> runs;
    for (const TTextRun::TPiece& piece : run.Pieces) {
        QGlyphRun glyphs;
        glyphs.setRawFont(FFaces->Faces[piece.Face].Drawing);
        glyphs.setGlyphIndexes(piece.Glyphs);
        glyphs.setPositions(piece.Positions);
        glyphs.setUnderline((IOldFont->Style & fsUnderline) != 0);
        glyphs.setStrikeOut((IOldFont->Style & fsStrikeOut) != 0);
        runs.append(glyphs);
    }
    return runs;
}
