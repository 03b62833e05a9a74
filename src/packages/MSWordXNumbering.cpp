#include "packages/MSWordXNumbering.h"

#include <algorithm>
#include <charconv>

#include "framework/ListNumbers.h"
#include "support/ZvWXML.h"

namespace zvword {

using namespace std::string_view_literals;  // literals of known length in comparisons

namespace {

int ToInt(const WideString& s, int fallback) {
  std::string a = WideToUtf8(s);
  int v = 0;
  auto [ptr, ec] = std::from_chars(a.data(), a.data() + a.size(), v);
  return ec == std::errc() && ptr == a.data() + a.size() ? v : fallback;
}

// Word counts lists from 0 to 32767; anything else would only overflow the counters.
int StartValue(const WideString& s) { return std::clamp(ToInt(s, 1), 0, 0x7FFF); }

// Calls f for every element at or below root, in document order.
template <typename F>
void Walk(TZvXMLItem* root, F f) {
  WalkXML(root, {.OnEnter = [&](TZvXMLItem& item, int) {
    if (item.Kind == ikProperty) f(&item);
    return waContinue;
  }});
}

TZvXMLItem* Child(TZvXMLItem* item, std::u16string_view name) {
  for (const auto& c : item->Items())
    if (c->TagName == name) return c.get();
  return nullptr;
}

WideString ChildVal(TZvXMLItem* item, std::u16string_view name) {
  TZvXMLItem* c = Child(item, name);
  return c ? c->AttributeValue(u"w:val") : WideString();
}

}  // namespace

void TWordXNumbering::ReadLevel(TZvXMLItem* c, Level& L) {
  L.Known = true;
  L.Start = StartValue(ChildVal(c, u"w:start"));
  if (WideString f = ChildVal(c, u"w:numFmt"); !f.empty()) L.Format = f;
  if (Child(c, u"w:lvlText")) L.Text = ChildVal(c, u"w:lvlText");
}

const TWordXNumbering::Level& TWordXNumbering::LevelOf(const Num& N, const Abstract& A, int Ilvl) {
  return N.Levels[Ilvl].Known ? N.Levels[Ilvl] : A.Levels[Ilvl];
}

void TWordXNumbering::Clear() {
  FAbstracts.clear();
  FNums.clear();
  FStyles.clear();
  FCounters.clear();
}

void TWordXNumbering::Load(std::string_view NumberingXml, std::string_view StylesXml, TResourceBudget* Budget) {
  Clear();
  if (!NumberingXml.empty()) {
    TZvXMLEngine e;
    e.SetBudget(Budget);
    e.LoadFromBytes(NumberingXml);
    Walk(e.RootItem(), [&](TZvXMLItem* item) {
      if (item->TagName == u"w:abstractNum"sv) {
        Abstract& a = FAbstracts[ToInt(item->AttributeValue(u"w:abstractNumId"), -1)];
        for (const auto& c : item->Items()) {
          if (c->TagName != u"w:lvl"sv) continue;
          const int ilvl = ToInt(c->AttributeValue(u"w:ilvl"), -1);
          if (ilvl < 0 || ilvl > 8) continue;
          ReadLevel(c.get(), a.Levels[ilvl]);
        }
      } else if (item->TagName == u"w:num"sv) {
        Num& n = FNums[ToInt(item->AttributeValue(u"w:numId"), -1)];
        n.AbstractId = ToInt(ChildVal(item, u"w:abstractNumId"), -1);
        for (const auto& c : item->Items()) {
          if (c->TagName != u"w:lvlOverride"sv) continue;
          const int ilvl = ToInt(c->AttributeValue(u"w:ilvl"), -1);
          if (ilvl < 0 || ilvl > 8) continue;
          if (Child(c.get(), u"w:startOverride")) n.StartOverride[ilvl] = StartValue(ChildVal(c.get(), u"w:startOverride"));
          if (TZvXMLItem* lvl = Child(c.get(), u"w:lvl")) ReadLevel(lvl, n.Levels[ilvl]);
        }
      }
    });
  }
  if (!StylesXml.empty()) {
    TZvXMLEngine e;
    e.SetBudget(Budget);
    e.LoadFromBytes(StylesXml);
    Walk(e.RootItem(), [&](TZvXMLItem* item) {
      if (item->TagName != u"w:style"sv) return;
      Style& s = FStyles[item->AttributeValue(u"w:styleId")];
      s.BasedOn = ChildVal(item, u"w:basedOn");
      if (TZvXMLItem* ppr = Child(item, u"w:pPr"))
        if (TZvXMLItem* numPr = Child(ppr, u"w:numPr")) {
          s.NumId = ToInt(ChildVal(numPr, u"w:numId"), -1);
          s.Ilvl = ToInt(ChildVal(numPr, u"w:ilvl"), -1);
        }
    });
  }
}

bool TWordXNumbering::StyleNumbering(const WideString& StyleId, int& NumId, int& Ilvl) const {
  WideString id = StyleId;
  int numId = -1, ilvl = -1;
  // Follow the base styles, at most a few steps: a loop in them must not hang.
  for (int step = 0; step < 16 && !id.empty(); ++step) {
    auto it = FStyles.find(id);
    if (it == FStyles.end()) break;
    if (numId < 0) numId = it->second.NumId;
    if (ilvl < 0) ilvl = it->second.Ilvl;
    id = it->second.BasedOn;
  }
  if (numId <= 0) return false;
  NumId = numId;
  Ilvl = ilvl < 0 ? 0 : ilvl;
  return true;
}

WideString TWordXNumbering::FormatNumber(int v, std::u16string_view f) {
  return FormatListNumber(v, ListNumberFormatOfName(f));
}

WideString TWordXNumbering::NextLabel(int NumId, int Ilvl) {
  auto numIt = FNums.find(NumId);
  if (numIt == FNums.end() || Ilvl < 0 || Ilvl > 8) return {};
  Num& num = numIt->second;
  auto absIt = FAbstracts.find(num.AbstractId);
  if (absIt == FAbstracts.end()) return {};
  const Abstract& a = absIt->second;
  auto [countersIt, fresh] = FCounters.try_emplace(num.AbstractId);
  Counters& counters = countersIt->second;
  if (fresh)
    for (int i = 0; i < 9; ++i) counters.Value[i] = LevelOf(num, a, i).Start - 1;
  if (!num.Used) {
    num.Used = true;
    for (int i = 0; i < 9; ++i)
      if (num.StartOverride[i] >= 0) counters.Value[i] = num.StartOverride[i] - 1, counters.Counted[i] = false;
  }
  counters.Value[Ilvl]++;
  counters.Counted[Ilvl] = true;
  for (int i = Ilvl + 1; i < 9; ++i) counters.Value[i] = LevelOf(num, a, i).Start - 1, counters.Counted[i] = false;

  const Level& level = LevelOf(num, a, Ilvl);
  if (!level.Known || level.Format == u"bullet"sv || level.Format == u"none"sv) return {};
  WideString out;
  const WideString& t = level.Text;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == u'%' && i + 1 < t.size() && t[i + 1] >= u'1' && t[i + 1] <= u'9') {
      const int l = t[i + 1] - u'1';
      const int value = counters.Counted[l] ? counters.Value[l] : counters.Value[l] + 1;
      out += FormatNumber(value, LevelOf(num, a, l).Format);
      ++i;
    } else {
      out += t[i];
    }
  }
  return out;
}

}  // namespace zvword
