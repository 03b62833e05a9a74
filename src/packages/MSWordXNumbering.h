// List numbering of Word 2007+ documents: the labels ("1.", "a)", "iv.") a paragraph's list level
// shows before its text, computed from the numbering and style parts.
#pragma once
#include <map>
#include <string_view>
#include <vector>

#include "framework/ResourceBudget.h"
#include "platform/Types.h"

namespace zvword {

class TZvXMLItem;

class TWordXNumbering {
 public:
  // Reads the numbering part and the style part (either may be empty); their text is charged to
  // Budget when one is given.
  void Load(std::string_view NumberingXml, std::string_view StylesXml, TResourceBudget* Budget = nullptr);
  void Clear();
  // The numbering a paragraph style carries (its own or inherited); false when none.
  bool StyleNumbering(const WideString& StyleId, int& NumId, int& Ilvl) const;
  // Counts one more paragraph at this list and level and returns its label; empty for bullets,
  // unknown lists and "none" levels.
  WideString NextLabel(int NumId, int Ilvl);

  static WideString FormatNumber(int Value, std::u16string_view Format);

 private:
  struct Level {
    int Start = 1;
    WideString Format = u"decimal";
    WideString Text;
    bool Known = false;
  };
  struct Abstract {
    Level Levels[9];
  };
  struct Num {
    int AbstractId = -1;
    int StartOverride[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};
    // A level the list redefines whole; it keeps counting with the lists of its definition.
    Level Levels[9];
    bool Used = false;
  };
  static const Level& LevelOf(const Num& N, const Abstract& A, int Ilvl);
  static void ReadLevel(TZvXMLItem* Lvl, Level& L);
  struct Style {
    int NumId = -1;
    int Ilvl = -1;
    WideString BasedOn;
  };
  std::map<int, Abstract> FAbstracts;
  std::map<int, Num> FNums;
  std::map<WideString, Style> FStyles;
  // Counters per abstract list: lists that share a definition continue one another.
  // A level not yet counted shows the number it would count next.
  struct Counters {
    int Value[9] = {};
    bool Counted[9] = {};
  };
  std::map<int, Counters> FCounters;
};

}  // namespace zvword
