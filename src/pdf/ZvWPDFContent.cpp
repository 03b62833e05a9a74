// Content streams: the text operators run against a small graphics state, giving positioned text
// items per page; the page tree walk; the page text.
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "pdf/ZvWPDF.h"
#include "pdf/ZvWPDFGlyphs.h"
#include "pdf/ZvWPDFParser.h"
#include "platform/CodePages.h"

namespace zvword {

using pdfsyntax::TLexer;

namespace {
// Word and line separation, in units of the font size on the page. A gap wider than
// kWordGap starts a new word; a baseline shift above kLineShift starts a new line.
constexpr double kWordGap = 0.15;
constexpr double kLineShift = 0.5;
constexpr size_t kMaxOperands = 4096;
constexpr int kMaxStateStack = 1024;

struct TMatrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  // this × m
  TMatrix Times(const TMatrix& m) const {
    return {a * m.a + b * m.c, a * m.b + b * m.d, c * m.a + d * m.c, c * m.b + d * m.d, e * m.a + f * m.c + m.e,
            e * m.b + f * m.d + m.f};
  }
  // [1 0 0 1 tx 0] × this, the pen moving along the text line.
  void Translate(double tx) {
    e += tx * a;
    f += tx * b;
  }
};

struct TGState {
  TMatrix CTM;
  TZvPDFFont* Font = nullptr;
  WideString FontName;
  double FontSize = 0, CharSpace = 0, WordSpace = 0, HScale = 1, Leading = 0, Rise = 0;
};

bool Finite(double v) { return std::isfinite(v) && std::abs(v) < 1e12; }
int32_t ClampI32(double v) { return static_cast<int32_t>(std::clamp(v, -2.0e9, 2.0e9)); }
bool IsLetterW(char16_t c) { return (c < 128 && std::isalpha(c)) || (c >= 0xC0 && c != 0xD7 && c != 0xF7 && c < 0x2000); }
bool IsLowerW(char16_t c) { return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7); }
}  // namespace

// An operator of up to three bytes as one number (0 for longer ones, which the text operators are not).
constexpr uint32_t OpCode(std::string_view op) {
  if (op.empty() || op.size() > 3) return 0;
  uint32_t v = static_cast<uint32_t>(op.size());
  for (char c : op) v = v << 8 | static_cast<uint8_t>(c);
  return v;
}

// The operands of one operator.
struct TOps {
  const TZvPDFObject* p;
  size_t n;
  size_t size() const { return n; }
  bool empty() const { return n == 0; }
  const TZvPDFObject& operator[](size_t i) const { return p[i]; }
  const TZvPDFObject& back() const { return p[n - 1]; }
};

// Runs one page's content (and the forms it draws) and fills the page's items.
class TZvPDFContentParser {
 public:
  TZvPDFContentParser(TZvPDFReader* Reader, TZvPDFFonts* Fonts, TZvPDFPage& Page) : R(Reader), FFonts(Fonts), P(Page) {}

  // The operands read and not yet taken by an operator. Slots are reused from operator to
  // operator, so their buffers are allocated once.
  struct TOperands {
    std::vector<TZvPDFObject> Slots = std::vector<TZvPDFObject>(8);
    size_t N = 0;
  };

  void Run(std::string_view content, const TZvPDFObject* resources, int depth) {
    TOperands operands;
    Run(content, resources, depth, operands);
  }

  // Runs one content stream; the page's streams share their operands, as they form one sequence.
  void Run(std::string_view content, const TZvPDFObject* resources, int depth, TOperands& operands) {
    TLexer lx(content);
    std::vector<TZvPDFObject>& slots = operands.Slots;
    size_t& n = operands.N;
    while (!lx.AtEnd()) {
      if (n == slots.size()) {
        if (n >= kMaxOperands) n = 0;  // a run of operands without an operator is noise
        else slots.resize(n * 2);
      }
      std::string_view kw;
      const size_t before = lx.Pos();
      lx.SkipWhite();
      if (lx.Peek() == '[') {
        // Arrays (a TJ's strings and kerns) fill one buffer whose elements live on, so their
        // strings keep their storage from array to array; the operand only marks the array.
        TZvPDFObject& mark = slots[n];
        mark.Kind = pokArray;
        mark.Items.clear();
        mark.Keys.clear();
        lx.ParseArrayItems(FArray, FArrayCount, false);
        ++n;
        continue;
      }
      if (lx.ParseObject(slots[n], false, &kw)) {
        ++n;
        continue;
      }
      if (lx.Pos() == before) lx.SetPos(before + (kw.empty() ? 1 : kw.size()));
      if (kw.empty()) continue;
      CountOperator();
      if (OpCode(kw) == OpCode("BI")) {
        SkipInlineImage(lx);
      } else {
        Operator(kw, TOps{slots.data(), n}, resources, depth);
      }
      n = 0;
    }
  }

 private:
  static double Num(const TOps& ops, size_t i) {
    if (i >= ops.size()) return 0;
    double v = ops[i].Number(0);
    return Finite(v) ? v : 0;
  }
  // The operands from the end: Arg(ops, 0) is the last.
  static double Arg(const TOps& ops, size_t fromEnd) {
    return fromEnd < ops.size() ? Num(ops, ops.size() - 1 - fromEnd) : 0;
  }

  // Every operator run counts, in forms as often as they are drawn: forms drawing forms multiply.
  void CountOperator() {
    const int64_t limit = R ? R->MaxPageOperations() : kPDFMaxPageOperations;
    if (limit > 0 && ++FOperators > limit)
      throw EResourceLimit("Page exceeds the limit of " + std::to_string(limit) + " content operators");
    if (R) R->Budget().ChargeOperations();
  }

  void SkipInlineImage(TLexer& lx) {
    std::string_view d = lx.Data();
    size_t id = d.find("ID", lx.Pos());
    if (id == std::string_view::npos) {
      lx.SetPos(d.size());
      return;
    }
    size_t p = id + 3;
    while (p + 2 <= d.size()) {
      size_t ei = d.find("EI", p);
      if (ei == std::string_view::npos) break;
      bool before = pdfsyntax::IsWhite(static_cast<uint8_t>(d[ei - 1]));
      bool after = ei + 2 >= d.size() || pdfsyntax::IsWhite(static_cast<uint8_t>(d[ei + 2]));
      if (before && after) {
        lx.SetPos(ei + 2);
        return;
      }
      p = ei + 2;
    }
    lx.SetPos(d.size());
  }

  void Operator(std::string_view op, const TOps& ops, const TZvPDFObject* res, int depth) {
    // One switch on the operator's bytes: most operators of a page draw paths and are not looked at.
    switch (OpCode(op)) {
      case OpCode("q"):
        if (static_cast<int>(FStack.size()) < kMaxStateStack) FStack.push_back(G);
        return;
      case OpCode("Q"):
        if (!FStack.empty()) {
          G = FStack.back();
          FStack.pop_back();
        }
        return;
      case OpCode("'"):
        NextLine();
        Show(ops.empty() ? nullptr : &ops.back());
        return;
      case OpCode("\""):
        G.WordSpace = Arg(ops, 2);
        G.CharSpace = Arg(ops, 1);
        NextLine();
        Show(ops.empty() ? nullptr : &ops.back());
        return;
      case OpCode("cm"): {
        TMatrix m{Arg(ops, 5), Arg(ops, 4), Arg(ops, 3), Arg(ops, 2), Arg(ops, 1), Arg(ops, 0)};
        G.CTM = m.Times(G.CTM);
        return;
      }
      case OpCode("BT"):
        Tm = Tlm = TMatrix();
        return;
      case OpCode("Tf"):
        G.FontSize = Arg(ops, 0);
        if (ops.size() >= 2 && ops[ops.size() - 2].Kind == pokName) SelectFont(ops[ops.size() - 2].Str, res);
        return;
      case OpCode("Td"):
        MoveLine(Arg(ops, 1), Arg(ops, 0));
        return;
      case OpCode("TD"):
        G.Leading = -Arg(ops, 0);
        MoveLine(Arg(ops, 1), Arg(ops, 0));
        return;
      case OpCode("Tm"):
        Tm = Tlm = TMatrix{Arg(ops, 5), Arg(ops, 4), Arg(ops, 3), Arg(ops, 2), Arg(ops, 1), Arg(ops, 0)};
        return;
      case OpCode("T*"):
        NextLine();
        return;
      case OpCode("Tc"):
        G.CharSpace = Arg(ops, 0);
        return;
      case OpCode("Tw"):
        G.WordSpace = Arg(ops, 0);
        return;
      case OpCode("Tz"):
        G.HScale = Arg(ops, 0) / 100;
        return;
      case OpCode("TL"):
        G.Leading = Arg(ops, 0);
        return;
      case OpCode("Ts"):
        G.Rise = Arg(ops, 0);
        return;
      case OpCode("Tj"):
        Show(ops.empty() ? nullptr : &ops.back());
        return;
      case OpCode("TJ"):
        if (!ops.empty() && ops.back().Kind == pokArray) {
          for (size_t i = 0; i < FArrayCount; ++i) {
            const TZvPDFObject& it = FArray[i];
            if (it.Kind == pokString) {
              Show(&it);
            } else if (it.IsNumber() && Finite(it.Number())) {
              double tx = -it.Number() / 1000 * G.FontSize * G.HScale;
              Tm.Translate(tx);
            }
          }
        } else if (!ops.empty()) {
          Show(&ops.back());
        }
        return;
      case OpCode("BDC"):
      case OpCode("BMC"): {
        TMarked m;
        if (op == "BDC" && ops.size() >= 2)
          if (auto t = ActualTextOf(ops.back(), res)) {
            m.Active = true;
            m.Text = std::move(*t);
          }
        FMarked.push_back(std::move(m));
        if (FMarked.size() > 4096) FMarked.erase(FMarked.begin());
        return;
      }
      case OpCode("EMC"):
        if (!FMarked.empty()) FMarked.pop_back();
        return;
      case OpCode("Do"):
        if (!ops.empty() && ops.back().Kind == pokName) DrawForm(ops.back().Str, res, depth);
        return;
      default:
        return;
    }
  }

  // Text that replaces the glyphs of a marked sequence (spans of ligatures, of glyphs with no
  // mapping and the like).
  std::optional<WideString> ActualTextOf(const TZvPDFObject& props, const TZvPDFObject* res) {
    const TZvPDFObject* d = &props;
    if (props.Kind == pokName && R && res) {
      const TZvPDFObject* pr = R->ResolveKey(*res, "Properties");
      d = pr && pr->IsDict() ? R->ResolveKey(*pr, props.Str) : nullptr;
    }
    if (!d || !d->IsDict()) return std::nullopt;
    const TZvPDFObject* at = R ? R->ResolveKey(*d, "ActualText") : d->Get("ActualText");
    if (!at || at->Kind != pokString) return std::nullopt;
    return TextString(at->Str);
  }

  static WideString TextString(const std::string& s) {
    if (s.size() >= 2 && static_cast<uint8_t>(s[0]) == 0xFE && static_cast<uint8_t>(s[1]) == 0xFF) {
      WideString w;
      for (size_t i = 2; i + 1 < s.size(); i += 2)
        w += static_cast<char16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
      return w;
    }
    return PDFDocEncodingToWide(s);
  }

  void MoveLine(double tx, double ty) {
    Tlm = TMatrix{1, 0, 0, 1, tx, ty}.Times(Tlm);
    Tm = Tlm;
  }
  void NextLine() { MoveLine(0, -G.Leading); }

  void SelectFont(const std::string& name, const TZvPDFObject* res) {
    G.Font = nullptr;
    G.FontName = u"/" + CodePageToWide(name, 28591);
    if (res) {
      const TZvPDFObject* fonts = R ? R->ResolveKey(*res, "Font") : nullptr;
      if (fonts && fonts->IsDict())
        if (const TZvPDFObject* f = fonts->Get(name)) G.Font = R->FontFor(*f);
    }
    if (!G.Font && FFonts) G.Font = FFonts->FindFontByName(G.FontName);
    if (G.Font && G.Font->FontName().empty()) G.Font->FFontName = G.FontName;
  }

  void DrawForm(const std::string& name, const TZvPDFObject* res, int depth) {
    if (!R || !res || depth >= kPDFMaxFormDepth) return;
    const TZvPDFObject* xo = R->ResolveKey(*res, "XObject");
    if (!xo || !xo->IsDict()) return;
    const TZvPDFObject* ref = xo->Get(name);
    if (!ref) return;
    const TZvPDFObject& form = R->Resolve(*ref);
    if (form.Kind != pokStream) return;
    const TZvPDFObject* st = R->ResolveKey(form, "Subtype");
    if (!st || !st->IsName("Form")) return;
    DrawFormObject(form, ref->Kind == pokRef ? ref->Int : -1, res, depth, TMatrix());
  }

 public:
  // Draws an annotation's appearance with its box placed on the annotation's rectangle.
  void DrawAppearance(const TZvPDFObject& form, int64_t id, const TZvPDFObject& annot) {
    TMatrix place;
    const TZvPDFObject* rect = R->ResolveKey(annot, "Rect");
    const TZvPDFObject* bbox = R->ResolveKey(form, "BBox");
    if (rect && rect->Kind == pokArray && rect->Items.size() == 4) {
      double bx = 0, by = 0;
      if (bbox && bbox->Kind == pokArray && bbox->Items.size() == 4) {
        bx = bbox->Items[0].Number();
        by = bbox->Items[1].Number();
      }
      double rx = std::min(rect->Items[0].Number(), rect->Items[2].Number());
      double ry = std::min(rect->Items[1].Number(), rect->Items[3].Number());
      if (Finite(rx - bx) && Finite(ry - by)) place = TMatrix{1, 0, 0, 1, rx - bx, ry - by};
    }
    FCurrent = nullptr;  // an annotation starts a line of its own
    DrawFormObject(form, id, nullptr, 0, place);
    FCurrent = nullptr;
  }

 private:
  void DrawFormObject(const TZvPDFObject& form, int64_t id, const TZvPDFObject* res, int depth, const TMatrix& place) {
    if (id >= 0 && std::find(FFormStack.begin(), FFormStack.end(), id) != FFormStack.end()) return;  // a form drawing itself
    TResourceBudget::TDepthGuard nested(R->Budget());
    RawByteString own;
    const RawByteString* content = &own;
    try {
      content = R->FormContent(form, id, own);
    } catch (const EResourceLimit&) {
      throw;
    } catch (const Exception&) {
      return;
    }
    TGState saved = G;
    TMatrix savedTm = Tm, savedTlm = Tlm;
    G.CTM = place.Times(G.CTM);
    const TZvPDFObject* m = R->ResolveKey(form, "Matrix");
    if (m && m->Kind == pokArray && m->Items.size() == 6) {
      TMatrix fm{m->Items[0].Number(1), m->Items[1].Number(), m->Items[2].Number(), m->Items[3].Number(1), m->Items[4].Number(), m->Items[5].Number()};
      if (Finite(fm.a) && Finite(fm.b) && Finite(fm.c) && Finite(fm.d) && Finite(fm.e) && Finite(fm.f)) G.CTM = fm.Times(G.CTM);
    }
    const TZvPDFObject* fres = R->ResolveKey(form, "Resources");
    FFormStack.push_back(id);
    size_t savedStack = FStack.size(), savedMarked = FMarked.size();
    Run(*content, fres && fres->IsDict() ? fres : res, depth + 1);
    FStack.resize(std::min(FStack.size(), savedStack));
    FMarked.resize(std::min(FMarked.size(), savedMarked));
    FFormStack.pop_back();
    G = saved;
    Tm = savedTm;
    Tlm = savedTlm;
  }

  void Show(const TZvPDFObject* s) {
    if (!s || s->Kind != pokString || s->Str.empty()) return;
    FGlyphs.clear();
    if (G.Font) {
      G.Font->Decode(s->Str, FGlyphs);
    } else {
      // No font: the bytes read as the system code page, with a guessed width.
      for (char ch : s->Str) {
        TZvPDFFont::TGlyph g;
        g.Text = CodePageToWide(std::string_view(&ch, 1));
        g.Width = 0.5;
        g.IsSpace = ch == ' ';
        FGlyphs.push_back(std::move(g));
      }
    }
    // Inside a marked sequence with replacement text, the first glyph carries that text and the
    // others only move the pen.
    TMarked* actual = nullptr;
    for (auto it = FMarked.rbegin(); it != FMarked.rend(); ++it)
      if (it->Active) {
        actual = &*it;
        break;
      }
    // Glyphs only move the pen along the line: the rendering matrix's scale and direction hold for
    // the whole string, only its origin moves.
    const double sx = G.FontSize * G.HScale, sy = G.FontSize;
    const TMatrix& C = G.CTM;
    const std::array<double, 10> key{sx, sy, Tm.a, Tm.b, Tm.c, Tm.d, C.a, C.b, C.c, C.d};
    if (key != FScaleKey) {
      // Strings in a row mostly share the scale: its square roots are taken when it changes.
      TMatrix trm = TMatrix{sx * Tm.a, sx * Tm.b, sy * Tm.c, sy * Tm.d, 0, 0}.Times(C);
      const double size = std::sqrt(trm.c * trm.c + trm.d * trm.d);
      const double len = std::sqrt(trm.a * trm.a + trm.b * trm.b);
      FScaleKey = key;
      FDx = len > 1e-9 ? trm.a / len : 1;
      FDy = len > 1e-9 ? trm.b / len : 0;
      FPlaceSize = size > 0 && Finite(size) ? size : 1;
    }
    const double dx = FDx, dy = FDy, placeSize = FPlaceSize;
    for (auto& g : FGlyphs) {
      if (actual) {
        g.Text = actual->Used ? WideString() : actual->Text;
        actual->Used = true;
      }
      // The origin of [sx 0 0 sy 0 rise] × Tm × CTM.
      double ox = G.Rise * Tm.c + Tm.e, oy = G.Rise * Tm.d + Tm.f;
      double x = ox * C.a + oy * C.c + C.e, y = ox * C.b + oy * C.d + C.f;
      double adv = (g.Width * G.FontSize + G.CharSpace + (g.IsSpace ? G.WordSpace : 0)) * G.HScale;
      if (!Finite(adv)) adv = 0;
      // The glyph ends where its width does; character and word spacing open gaps after it.
      double w = g.Width * G.FontSize * G.HScale;
      if (!Finite(w)) w = 0;
      double ex = w * Tm.a + G.Rise * Tm.c + Tm.e, ey = w * Tm.b + G.Rise * Tm.d + Tm.f;
      Tm.Translate(adv);
      Place(g.Text, x, y, ex * C.a + ey * C.c + C.e, ex * C.b + ey * C.d + C.f, placeSize, dx, dy,
            actual != nullptr && g.Text.empty());
    }
  }

  // Adds one glyph's text at its place: the same item when it follows on the line, a new item
  // (with a space or on a new line) otherwise.
  void Place(const WideString& text, double x, double y, double ex, double ey, double size, double dx, double dy, bool silent) {
    if (silent) {
      if (FCurrent) {
        FEndX = ex;
        FEndY = ey;
      }
      return;
    }
    bool isBlank = text.empty() || std::all_of(text.begin(), text.end(), [](char16_t c) { return c == ' ' || c == 0xA0 || c == '\t'; });
    TZvPDFItemText* cur = FCurrent;
    char16_t comb = text.size() == 1 ? CombiningFor(text[0]) : 0;
    double along = 0;
    if (cur) {
      double gx = x - FEndX, gy = y - FEndY;
      along = gx * FDirX + gy * FDirY;
      double across = -gx * FDirY + gy * FDirX;
      double ref = std::max(size, FSize);
      bool sameDir = std::abs(dx - FDirX) < 0.05 && std::abs(dy - FDirY) < 0.05;
      if (!sameDir || std::abs(across) > kLineShift * std::min(size, FSize) + 0.01 * ref || along < -1.5 * ref ||
          along > 50 * ref) {
        cur = nullptr;  // a new line
        FPendingSpace = false;
      } else if (along > kWordGap * ref) {
        FPendingSpace = true;
      }
    }
    if (isBlank) {
      if (FCurrent) FPendingSpace = true;
      // A space still moves the end of the line on.
      if (cur) {
        FEndX = ex;
        FEndY = ey;
      }
      return;
    }
    // An accent drawn over the letter before it joins that letter.
    if (comb && cur && !FPendingSpace && along < -0.1 * size) {
      FCurrent->FText += comb;
      return;
    }
    // A letter drawn under the accent before it takes the accent.
    bool underAccent = FAccentItem && cur == FAccentItem && !FPendingSpace && FAccentItem->FText.size() == FAccentAt + 1 &&
                       (x - FAccentX) * FDirX + (y - FAccentY) * FDirY < -0.1 * size && IsLetterW(text[0]);
    if (!cur || FPendingSpace) {
      auto* item = static_cast<TZvPDFItemText*>(P.FItems.AddItem(itText));
      item->FFontName = G.FontName;
      item->FFontSize = static_cast<int32_t>(std::lround(std::min(size, 1e6)));
      item->FLeft = x;
      item->FTop = P.FHeight - y;
      item->FSize = size;
      item->FIsContinueBlock = cur != nullptr;
      item->FSpaceBefore = cur != nullptr && FPendingSpace;
      FCurrent = item;
      FPendingSpace = false;
      FSize = size;
      FDirX = dx;
      FDirY = dy;
    }
    if (underAccent) {
      char16_t a = CombiningFor(FCurrent->FText.back());
      FCurrent->FText.pop_back();
      FCurrent->FText += text;
      FCurrent->FText += a;
      FAccentItem = nullptr;
      return;  // the line goes on from the accent's end
    }
    FCurrent->FText += text;
    FCurrent->FRight = ex;
    if (comb) {
      FAccentItem = FCurrent;
      FAccentAt = FCurrent->FText.size() - 1;
      FAccentX = ex;
      FAccentY = ey;
    } else {
      FAccentItem = nullptr;
    }
    FEndX = ex;
    FEndY = ey;
  }

  // The combining mark of a spacing accent, 0 for other characters.
  static char16_t CombiningFor(char16_t c) {
    switch (c) {
      case 0x00B4: case 0x02CA: return 0x0301;
      case 0x0060: case 0x02CB: return 0x0300;
      case 0x00A8: return 0x0308;
      case 0x02C6: case 0x005E: return 0x0302;
      case 0x02DC: return 0x0303;
      case 0x00B8: return 0x0327;
      case 0x02C7: return 0x030C;
      case 0x02D8: return 0x0306;
      case 0x02D9: return 0x0307;
      case 0x02DA: return 0x030A;
      case 0x02DB: return 0x0328;
      case 0x02DD: return 0x030B;
      case 0x00AF: case 0x02C9: return 0x0304;
      default: return 0;
    }
  }

  TZvPDFReader* R;
  TZvPDFFonts* FFonts;
  int64_t FOperators = 0;
  TZvPDFPage& P;
  TGState G;
  std::vector<TGState> FStack;
  TMatrix Tm, Tlm;
  std::vector<int64_t> FFormStack;
  struct TMarked {
    bool Active = false, Used = false;
    WideString Text;
  };
  std::vector<TMarked> FMarked;
  std::vector<TZvPDFFont::TGlyph> FGlyphs;
  // The scale and direction of the last string shown, and what they were worked out from.
  std::array<double, 10> FScaleKey{};
  double FDx = 1, FDy = 0, FPlaceSize = 1;
  // The last array operand: FArray[0, FArrayCount).
  std::vector<TZvPDFObject> FArray;
  size_t FArrayCount = 0;
  TZvPDFItemText* FCurrent = nullptr;
  double FEndX = 0, FEndY = 0, FSize = 1, FDirX = 1, FDirY = 0;
  bool FPendingSpace = false;
  TZvPDFItemText* FAccentItem = nullptr;
  size_t FAccentAt = 0;
  double FAccentX = 0, FAccentY = 0;
};

// ---- TZvPDFReader: the page tree ----

const RawByteString* TZvPDFReader::FormContent(const TZvPDFObject& Form, int64_t Id, RawByteString& Own) {
  if (Id >= 0) {
    auto it = FForms.find(Id);
    if (it != FForms.end()) {
      // Drawn again, it costs the budget what decoding it anew would.
      if (it->second.Charged > 0) Budget().ChargeDecoded(it->second.Charged);
      return &it->second.Content;
    }
  }
  const int64_t before = Budget().Decoded();
  Own = GetStreamContent(Form);
  if (Id < 0 || FFormBytes + static_cast<int64_t>(Own.size()) > kPDFMaxFormCache) return &Own;
  FFormBytes += static_cast<int64_t>(Own.size());
  return &FForms.emplace(Id, TFormContent{std::move(Own), Budget().Decoded() - before}).first->second.Content;
}

TZvPDFFont* TZvPDFReader::FontFor(const TZvPDFObject& FontRef) {
  int32_t num = FontRef.Kind == pokRef ? static_cast<int32_t>(FontRef.Int) : -1;
  if (num >= 0)
    if (TZvPDFFont* f = FFonts->FindByObject(num)) return f;
  const TZvPDFObject& d = Resolve(FontRef);
  if (!d.IsDict()) return nullptr;
  TZvPDFFont* f = FFonts->AddItem();
  if (num >= 0) FFonts->SetObject(num, f);
  f->Load(*this, d);
  return f;
}

void TZvPDFReader::ProcessPages(const TZvPDFObject& Node, const TZvPDFObject* InheritedRes, const TZvPDFObject* InheritedBox,
                                int Depth, std::unordered_set<int64_t>& Visited) {
  if (Depth > kPDFMaxPageTreeDepth || FPagesSeen >= kPDFMaxPages || (FLastPage > 0 && FPagesSeen >= FLastPage)) return;
  const TZvPDFObject* res = ResolveKey(Node, "Resources");
  if (!res || !res->IsDict()) res = InheritedRes;
  const TZvPDFObject* box = ResolveKey(Node, "MediaBox");
  if (!box || box->Kind != pokArray) box = InheritedBox;
  const TZvPDFObject* kids = ResolveKey(Node, "Kids");
  const TZvPDFObject* type = ResolveKey(Node, "Type");
  bool isPages = (type && type->IsName("Pages")) || (!type && kids && kids->Kind == pokArray);
  if (!isPages || !kids || kids->Kind != pokArray) {
    if (!type || type->IsName("Page") || !kids) ProcessPage(Node, res, box);
    return;
  }
  for (const auto& k : kids->Items) {
    if (k.Kind == pokRef && !Visited.insert(k.Int).second) continue;  // a loop in the page tree
    // What only this subtree read leaves the cache with it; what was read before (the nodes
    // above, shared resources met earlier) stays, as pointers to it are held.
    const size_t mark = FFetched.size();
    const TZvPDFObject& kid = Resolve(k);
    if (kid.IsDict()) ProcessPages(kid, res, box, Depth + 1, Visited);
    if (!FKeepPages) ForgetFetchedSince(mark);
  }
}

void TZvPDFReader::ProcessPage(const TZvPDFObject& Page, const TZvPDFObject* Res, const TZvPDFObject* Box) {
  // Past the length limit no more pages are read.
  if (FSink.Stopped()) return;
  const int number = ++FPagesSeen;
  if (number < FFirstPage || (FLastPage > 0 && number > FLastPage)) return;
  TZvPDFPage* page = FPages->AddPage();
  try {
    ReadPage(*page, Page, Res, Box);
  } catch (const EResourceLimit&) {
    // What the page showed before the limit is kept.
    EmitPage(FPages->Count() - 1);
    throw;
  }
  EmitPage(FPages->Count() - 1);
  if (!FKeepPages) page->FItems.Clear();
}

void TZvPDFReader::ReadPage(TZvPDFPage& Target, const TZvPDFObject& Page, const TZvPDFObject* Res,
                            const TZvPDFObject* Box) {
  TZvPDFPage* page = &Target;
  if (Box && Box->Kind == pokArray && Box->Items.size() == 4) {
    double v[4];
    for (int i = 0; i < 4; ++i) v[i] = Resolve(Box->Items[static_cast<size_t>(i)]).Number();
    if (Finite(v[0]) && Finite(v[1]) && Finite(v[2]) && Finite(v[3])) {
      page->FLeft = ClampI32(std::min(v[0], v[2]));
      page->FTop = ClampI32(std::min(v[1], v[3]));
      page->FWidth = ClampI32(std::abs(v[2] - v[0]));
      page->FHeight = ClampI32(std::abs(v[3] - v[1]));
    }
  }
  const TZvPDFObject* contents = ResolveKey(Page, "Contents");
  if (!contents) return;
  TZvPDFContentParser parser(this, FFonts.get(), *page);
  // Each content stream decodes on its own, so a damaged one costs only its own text, and only
  // one is held at a time; the operators of the streams run as one sequence.
  TZvPDFContentParser::TOperands operands;
  // A stream listed again in a row is decoded once, but its bytes count again.
  const TZvPDFObject* last = nullptr;
  RawByteString content;
  auto run = [&](const TZvPDFObject& s) {
    if (s.Kind != pokStream) return;
    if (&s == last) {
      Budget().ChargeDecoded(static_cast<int64_t>(content.size()));
    } else {
      last = nullptr;
      try {
        content = GetStreamContent(s);
      } catch (const EResourceLimit&) {
        throw;
      } catch (const Exception&) {
        return;
      }
      last = &s;
    }
    parser.Run(content, Res, 0, operands);
  };
  if (contents->Kind == pokArray) {
    for (const auto& c : contents->Items) run(Resolve(c));
  } else {
    run(*contents);
  }
  // Annotations show their appearance on the page (form fields, free text, stamps).
  const TZvPDFObject* annots = ResolveKey(Page, "Annots");
  if (!annots || annots->Kind != pokArray) return;
  for (size_t i = 0; i < annots->Items.size() && i < 10000; ++i) {
    const TZvPDFObject& a = Resolve(annots->Items[i]);
    if (!a.IsDict()) continue;
    const TZvPDFObject* st = ResolveKey(a, "Subtype");
    if (st && (st->IsName("Popup") || st->IsName("Link"))) continue;
    const TZvPDFObject* flags = ResolveKey(a, "F");
    if (flags && flags->IsNumber() && (flags->AsInt() & 2)) continue;  // hidden
    const TZvPDFObject* ap = ResolveKey(a, "AP");
    const TZvPDFObject* n = ap && ap->IsDict() ? ap->Get("N") : nullptr;
    if (!n) continue;
    const TZvPDFObject* form = &Resolve(*n);
    int64_t id = n->Kind == pokRef ? n->Int : -1;
    if (form->Kind == pokDict) {
      // Appearances by state: the one the annotation is in.
      const TZvPDFObject* as = ResolveKey(a, "AS");
      const TZvPDFObject* sn = as && as->Kind == pokName ? form->Get(as->Str) : nullptr;
      if (!sn) continue;
      id = sn->Kind == pokRef ? sn->Int : -1;
      form = &Resolve(*sn);
    }
    if (form->Kind == pokStream) parser.DrawAppearance(*form, id, a);
  }
}


void TZvPDFReader::EmitPage(int Index) {
  if (!ParseItems().Contains(wpiText)) return;
  if (Index == 0) FSink.Open(Text());
  static constexpr TMarkup kPageBreak{u"\f", u"\\page \r\n", u"<hr>\r\n"};
  if (Index > 0 && FPageBreaks) FSink.Markup(kPageBreak);
  const WideString t = FPages->GetPage(Index)->GetPlainText();
  // Every line of the page ends with a line mark; its CR LF is the list's own.
  size_t s = 0;
  while (s <= t.size()) {
    size_t e = t.find(u"\r\n", s);
    if (e == WideString::npos) e = t.size();
    FSink.Text(std::u16string_view(t).substr(s, e - s));
    FSink.Mark(tmLine);
    s = e + 2;
  }
}

void TZvPDFReader::EmitPages() {
  if (FPages->Count() == 0) FSink.Open(Text());
  FSink.Close();
}

// ---- Pages, items, plain text ----

TZvPDFItem* TZvPDFItems::GetItem(int Index) const {
  return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)].get() : nullptr;
}

TZvPDFItem* TZvPDFItems::AddItem(TZvPDFItemType ItemType) {
  if (ItemType == itText) FItems.push_back(std::make_unique<TZvPDFItemText>());
  else FItems.push_back(std::make_unique<TZvPDFItem>(ItemType));
  return FItems.back().get();
}

void TZvPDFItems::SortItems() {
  // Rows first (5 units of tolerance), then left to right; a stable order keeps the stream's
  // order among items that tie.
  std::stable_sort(FItems.begin(), FItems.end(), [](const std::unique_ptr<TZvPDFItem>& A, const std::unique_ptr<TZvPDFItem>& B) {
    if (std::abs(A->Top() - B->Top()) > 5) return A->Top() < B->Top();
    if (std::abs(A->Left() - B->Left()) > 15) return A->Left() < B->Left();
    return false;
  });
}

TZvPDFPage* TZvPDFPages::AddPage() {
  FItems.push_back(std::make_unique<TZvPDFPage>());
  return FItems.back().get();
}

TZvPDFPage* TZvPDFPages::GetPage(int Index) const {
  return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)].get() : nullptr;
}

void TZvPDFPages::ParseContents(const RawByteString& strContent, const RawByteString& strMediaBox) {
  TZvPDFPage* page = AddPage();
  {
    RawByteString box = strMediaBox;
    size_t lb = box.find('['), rb = box.find(']', lb == std::string::npos ? 0 : lb);
    if (lb != std::string::npos) box = box.substr(lb + 1, rb == std::string::npos ? std::string::npos : rb - lb - 1);
    TLexer lx(box);
    double v[4];
    int n = 0;
    TZvPDFObject o;
    while (n < 4 && lx.ParseObject(o, false) && o.IsNumber()) v[n++] = o.Number();
    if (n == 4 && Finite(v[0]) && Finite(v[1]) && Finite(v[2]) && Finite(v[3])) {
      page->FLeft = ClampI32(v[0]);
      page->FTop = ClampI32(v[1]);
      page->FWidth = ClampI32(v[2] - v[0]);
      page->FHeight = ClampI32(v[3] - v[1]);
    }
  }
  if (strContent.empty()) return;
  TZvPDFContentParser parser(nullptr, FPDFReader ? FPDFReader->Fonts() : nullptr, *page);
  parser.Run(strContent, nullptr, 0);
}

namespace {
bool IsRTL(char16_t c) {
  return (c >= 0x0590 && c <= 0x08FF) || (c >= 0xFB1D && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}
bool IsDigitW(char16_t c) { return (c >= '0' && c <= '9') || (c >= 0x0660 && c <= 0x0669) || (c >= 0x06F0 && c <= 0x06F9); }

// Pages hold right-to-left text in display order; runs of it are turned back into reading order
// (numbers inside keep their own order).
void VisualToLogical(WideString& line) {
  size_t i = 0;
  while (i < line.size()) {
    if (!IsRTL(line[i])) {
      ++i;
      continue;
    }
    size_t end = i, j = i;
    while (j < line.size()) {
      if (IsRTL(line[j])) end = j + 1;
      else if (std::isalpha(line[j] < 128 ? line[j] : 'a') && line[j] < 0x2000 && !IsRTL(line[j]) && line[j] > 0x40) break;
      ++j;
    }
    std::reverse(line.begin() + static_cast<long>(i), line.begin() + static_cast<long>(end));
    for (size_t k = i; k < end;) {
      if (!IsDigitW(line[k])) {
        ++k;
        continue;
      }
      size_t m = k;
      while (m < end && (IsDigitW(line[m]) || line[m] == '.' || line[m] == ',')) ++m;
      std::reverse(line.begin() + static_cast<long>(k), line.begin() + static_cast<long>(m));
      k = m;
    }
    i = end;
  }
}
}  // namespace

WideString TZvPDFPage::GetPlainText() const {
  WideString all = GetPlainTextVisual();
  bool any = std::any_of(all.begin(), all.end(), IsRTL);
  if (!any) return all;
  WideString out;
  size_t s = 0;
  while (s <= all.size()) {
    size_t e = all.find(u"\r\n", s);
    if (e == WideString::npos) e = all.size();
    WideString line = all.substr(s, e - s);
    VisualToLogical(line);
    out += line;
    if (e < all.size()) out += u"\r\n";
    s = e + 2;
  }
  return out;
}

WideString TZvPDFPage::GetPlainTextVisual() const {
  WideString result;
  for (int i = 0; i < FItems.Count(); ++i) {
    const TZvPDFItem* it = FItems.GetItem(i);
    if (it->ItemType() != itText) continue;
    const auto* t = static_cast<const TZvPDFItemText*>(it);
    if (!result.empty()) {
      if (!t->IsContinueBlock()) {
        // A word hyphenated at the end of a line is joined with its rest.
        const WideString& next = t->Text();
        size_t n = result.size();
        bool hyphen = n >= 2 && (result[n - 1] == u'-' || result[n - 1] == 0xAD) && IsLetterW(result[n - 2]);
        if (hyphen && !next.empty() && IsLowerW(next[0])) result.pop_back();
        else result += u"\r\n";
      } else if (t->SpaceBefore()) {
        result += u' ';
      }
    }
    result += t->Text();
  }
  return result;
}

WideString TZvPDFPages::GetPlainText() const {
  WideString r;
  for (const auto& p : FItems) r += u"\r\n--------------------\r\n" + p->GetPlainText();
  return r;
}

// ---- TZvWTagValues ----

namespace {
WideString TrimW(const WideString& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
  return s.substr(b, e - b);
}
bool EndsWith(const WideString& s, const WideString& tag, bool cs) {
  if (s.size() < tag.size()) return false;
  for (size_t i = 0; i < tag.size(); ++i) {
    char16_t a = s[s.size() - tag.size() + i], b = tag[i];
    if (!cs) {
      if (a >= 'A' && a <= 'Z') a += 32;
      if (b >= 'A' && b <= 'Z') b += 32;
    }
    if (a != b) return false;
  }
  return true;
}
}  // namespace

WideString TZvWTagValues::GetValue(const WideString& strTag, bool CaseSensitive) const {
  for (const auto& l : FLines)
    if (EndsWith(l, strTag, CaseSensitive)) return TrimW(l.substr(0, l.size() - strTag.size()));
  return {};
}

WideString TZvWTagValues::GetAllTextTags() const {
  WideString r;
  for (const auto& l : FLines) {
    if (l.empty()) continue;
    if (l.back() == '\'' || l.back() == '"') r += TrimW(l.substr(0, l.size() - 1));
    else if (EndsWith(l, u"Tj", true) || EndsWith(l, u"TJ", true)) r += TrimW(l.substr(0, l.size() - 2));
  }
  return r;
}

void TZvWTagValues::RemoveEmptyStrings() {
  for (auto& l : FLines)
    while (!l.empty() && (l.back() == ' ' || l.back() == '\t' || l.back() == '\r' || l.back() == '\n')) l.pop_back();
  FLines.erase(std::remove_if(FLines.begin(), FLines.end(), [](const WideString& s) { return s.empty(); }), FLines.end());
}

}  // namespace zvword
