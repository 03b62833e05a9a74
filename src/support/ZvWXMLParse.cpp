// The scanner of the XML engine: one pass over the decoded text, no recursion. End tags close the
// innermost open element whatever their name, so damaged markup still yields its text.
#include <algorithm>
#include <array>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/Exception.h"
#include "platform/TextHelpers.h"
#include "platform/Unicode.h"
#include "support/ZvWXML.h"

namespace zvword {
namespace {

constexpr std::array<bool, 128> kNameChars = [] {
  std::array<bool, 128> t{};
  for (char c : std::string_view("!-.:?_")) t[static_cast<size_t>(c)] = true;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<size_t>(c)] = true;
  for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<size_t>(c)] = true;
  for (int c = 'a'; c <= 'z'; ++c) t[static_cast<size_t>(c)] = true;
  return t;
}();

// The first index from From on holding one of the four units (repeat one to look for fewer); N
// when none. Several units a step: the scanner spends nearly all its time here.
size_t FindAny(const char16_t* s, size_t From, size_t N, char16_t A, char16_t B, char16_t C, char16_t D) {
  size_t i = From;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi16(static_cast<short>(A)), b = _mm_set1_epi16(static_cast<short>(B));
  const __m128i c = _mm_set1_epi16(static_cast<short>(C)), d = _mm_set1_epi16(static_cast<short>(D));
  for (; i + 8 <= N; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(v, a), _mm_cmpeq_epi16(v, b)),
                                   _mm_or_si128(_mm_cmpeq_epi16(v, c), _mm_cmpeq_epi16(v, d)));
    if (const int mask = _mm_movemask_epi8(m)) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
  }
#endif
  for (; i < N; ++i)
    if (s[i] == A || s[i] == B || s[i] == C || s[i] == D) return i;
  return N;
}

size_t FindAny(const char* s, size_t From, size_t N, char16_t A, char16_t B, char16_t C, char16_t D) {
  const auto a8 = static_cast<char>(A), b8 = static_cast<char>(B), c8 = static_cast<char>(C), d8 = static_cast<char>(D);
  size_t i = From;
#if defined(__SSE2__)
  const __m128i a = _mm_set1_epi8(a8), b = _mm_set1_epi8(b8), c = _mm_set1_epi8(c8), d = _mm_set1_epi8(d8);
  for (; i + 16 <= N; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
    const __m128i m = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b)),
                                   _mm_or_si128(_mm_cmpeq_epi8(v, c), _mm_cmpeq_epi8(v, d)));
    if (const int mask = _mm_movemask_epi8(m)) return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
  }
#endif
  for (; i < N; ++i)
    if (s[i] == a8 || s[i] == b8 || s[i] == c8 || s[i] == d8) return i;
  return N;
}

// The last index in (Low, High] holding C; Low when none. The text before it is scanned backwards.
template <typename CharT>
size_t FindLast(const CharT* s, size_t Low, size_t High, char16_t C) {
  size_t end = High + 1;  // one past the last index looked at
#if defined(__SSE2__)
  constexpr size_t kStep = 16 / sizeof(CharT);
  const __m128i c = sizeof(CharT) == 1 ? _mm_set1_epi8(static_cast<char>(C)) : _mm_set1_epi16(static_cast<short>(C));
  for (; end - Low - 1 >= kStep; end -= kStep) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + end - kStep));
    const int mask = _mm_movemask_epi8(sizeof(CharT) == 1 ? _mm_cmpeq_epi8(v, c) : _mm_cmpeq_epi16(v, c));
    if (mask != 0) return end - kStep + static_cast<size_t>(31 - __builtin_clz(static_cast<unsigned>(mask))) / sizeof(CharT);
  }
#endif
  for (; end > Low + 1; --end)
    if (s[end - 1] == static_cast<CharT>(C)) return end - 1;
  return Low;
}

#if defined(__SSE2__)
// One bit for each of the sixteen bytes at S that is a name character (bytes of 0x80 and above too).
int NameCharMask(const char* s) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
  auto in = [](__m128i x, char lo, char hi) {
    return _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(static_cast<char>(lo - 1))),
                         _mm_cmplt_epi8(x, _mm_set1_epi8(static_cast<char>(hi + 1))));
  };
  // Setting bit 5 folds "A"-"Z" onto "a"-"z" and moves nothing else into that range.
  const __m128i letters = in(_mm_or_si128(v, _mm_set1_epi8(0x20)), 'a', 'z');
  const __m128i m = _mm_or_si128(
      _mm_or_si128(_mm_or_si128(letters, in(v, '0', ':')), _mm_or_si128(in(v, '-', '.'), _mm_cmplt_epi8(v, _mm_setzero_si128()))),
      _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('!')), _mm_cmpeq_epi8(v, _mm_set1_epi8('?'))),
                   _mm_cmpeq_epi8(v, _mm_set1_epi8('_'))));
  return _mm_movemask_epi8(m);
}
#endif

bool IsNameChar(char16_t c) { return c >= 0x80 || kNameChars[c]; }
// A byte of a UTF-8 sequence stands for a unit of 0x80 or more: a name character too.
bool IsNameChar(char c) { return static_cast<unsigned char>(c) >= 0x80 || kNameChars[static_cast<unsigned char>(c)]; }

// Text in document order: after the last child when there is one, else the item's own value.
void AppendText(TZvXMLItem* item, std::u16string_view text) {
  if (!item || text.empty()) return;
  auto& items = item->Items();
  if (items.Count() > 0 && items[items.Count() - 1]->Kind != ikAttribute) {
    items[items.Count() - 1]->Tail.append(text);
  } else if (item->Value) {
    item->Value->append(text);
  } else {
    item->Value = WideString(text);
  }
}

// Hands the scanner's pieces over as UTF-16. UTF-16 text is passed through; UTF-8 is decoded
// piece by piece into a buffer kept between tags, so the part is never decoded as a whole. Every
// piece starts and ends next to markup (ASCII), so it decodes as it would inside the whole text.
template <typename CharT>
struct Widen {
  std::u16string_view operator()(std::u16string_view s) { return s; }
};
template <>
struct Widen<char> {
  WideString buf;
  std::u16string_view operator()(std::string_view s) {
    if (s.empty()) return {};
    // The buffer only grows: the piece is its first units. Never more units than bytes.
    if (buf.size() < s.size()) buf.resize(s.size());
    char16_t* d = buf.data();
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    const uint8_t* end = p + s.size();
#if defined(__SSE2__)
    // Names, attribute texts and most values are short ASCII: eight bytes a step as well.
    const __m128i zero = _mm_setzero_si128();
    for (; end - p >= 16; p += 16, d += 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      if (_mm_movemask_epi8(v) != 0) break;
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(v, zero));
    }
    if (end - p >= 8) {
      const __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
      if (_mm_movemask_epi8(v) == 0) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(v, zero));
        p += 8;
        d += 8;
      }
    }
#endif
    // Into the reused buffer, so that no piece allocates.
    d = DecodeUtf8(p, end, d);
    return {buf.data(), static_cast<size_t>(d - buf.data())};
  }
};

template <typename CharT>
class Scanner {
 public:
  using View = std::basic_string_view<CharT>;
  explicit Scanner(View text) : t_(text) {
    // Nothing after a NUL character is markup (bytes come here already cut at one).
    if constexpr (sizeof(CharT) == 2) t_ = t_.substr(0, FindAny(t_.data(), 0, t_.size(), 0, 0, 0, 0));
    n_ = t_.size();
  }

  size_t n_;
  size_t p_ = 0;

  char16_t At(size_t i) const { return i < n_ ? static_cast<char16_t>(t_[i]) : 0; }
  // Markup is ASCII: literals are compared unit by unit whatever the text's encoding.
  bool StartsWith(size_t i, std::string_view s) const {
    if (i > n_ || n_ - i < s.size()) return false;
    for (size_t k = 0; k < s.size(); ++k)
      if (t_[i + k] != static_cast<CharT>(s[k])) return false;
    return true;
  }
  View Slice(size_t a, size_t b) const { return t_.substr(a, b - a); }
  // True while the text from I on holds two UTF-16 units or more.
  bool TwoUnitsFrom(size_t i) const {
    if (i + 1 >= n_) return false;
    if constexpr (sizeof(CharT) == 1) {
      // One character of up to four bytes may still be a single unit.
      if (n_ - i <= 4 && static_cast<unsigned char>(t_[i]) >= 0x80) return Utf8ToWide(t_.substr(i)).size() >= 2;
    }
    return true;
  }

  size_t Find(std::string_view s, size_t from) const {
    for (size_t i = FindChar(s[0], from); i < n_; i = FindChar(s[0], i + 1))
      if (StartsWith(i, s)) return i;
    return n_;
  }
  size_t FindFirst(char16_t a, char16_t b, size_t from) const {
    return from >= n_ ? n_ : FindAny(t_.data(), from, n_, a, b, b, b);
  }
  size_t FindChar(char16_t c, size_t from) const { return from >= n_ ? n_ : FindAny(t_.data(), from, n_, c, c, c, c); }

  View ReadName() {
    size_t s = p_;
#if defined(__SSE2__)
    if constexpr (sizeof(CharT) == 1) {
      // Sixteen bytes classified at once: a name's end is then found without a mispredicted exit.
      for (; p_ + 16 <= n_; p_ += 16) {
        const int mask = ~NameCharMask(t_.data() + p_) & 0xFFFF;
        if (mask != 0) {
          p_ += static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
          return Slice(s, p_);
        }
      }
    }
#endif
    while (p_ < n_ && IsNameChar(t_[p_])) ++p_;
    return Slice(s, p_);
  }

  // Up to ">" or a "/" outside quotes. A ">" ends the run even inside quotes, so one stray quote
  // cannot swallow the rest of the part.
  View ReadAttributes() {
    const size_t s = p_;
    // Most tags have none: the name runs up to the ">" or "/>".
    if (p_ < n_ && (t_[p_] == CharT('>') || t_[p_] == CharT('/'))) return {};
    if constexpr (sizeof(CharT) == 1) {
      char quote = 0;
#if defined(__SSE2__)
      // One load per sixteen bytes: the quotes are followed through the block's bits.
      for (; p_ + 16 <= n_; p_ += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t_.data() + p_));
        auto bits = [&v](char c) { return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)))); };
        const unsigned gt = bits('>'), slash = bits('/'), dq = bits('"'), sq = bits('\'');
        unsigned ahead = 0xFFFF;  // the bits not yet looked at
        for (;;) {
          const unsigned m = (quote == 0 ? gt | slash | dq | sq : gt | (quote == '"' ? dq : sq)) & ahead;
          if (m == 0) break;
          const unsigned at = static_cast<unsigned>(__builtin_ctz(m)), bit = 1u << at;
          if ((gt & bit) != 0 || (slash & bit) != 0) {
            p_ += at;
            return Slice(s, p_);
          }
          quote = quote != 0 ? 0 : (dq & bit) != 0 ? '"' : '\'';
          ahead &= ~((bit << 1) - 1);
        }
      }
#endif
      for (; p_ < n_; ++p_) {
        const char c = t_[p_];
        if (c == '>') break;
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if (c == '/') {
          break;
        } else if (c == '"' || c == '\'') {
          quote = c;
        }
      }
      return Slice(s, p_);
    }
    while (p_ < n_) {
      p_ = FindAny(t_.data(), p_, n_, u'>', u'/', u'"', u'\'');
      if (p_ >= n_ || At(p_) == u'>' || At(p_) == u'/') break;
      const char16_t quote = At(p_);
      p_ = FindAny(t_.data(), p_ + 1, n_, quote, u'>', u'>', u'>');
      if (p_ >= n_ || At(p_) == u'>') break;
      ++p_;
    }
    return Slice(s, std::min(p_, n_));
  }

  View ReadValue() {
    while (p_ < n_ && At(p_) == u'>') ++p_;
    const size_t s = p_;
    // Markup follows markup more often than not.
    if (p_ < n_ && t_[p_] == CharT('<')) return Slice(s, p_++);
    while (p_ < n_) {
      p_ = FindAny(t_.data(), p_, n_, u'<', u'/', u'/', u'/');
      if (p_ >= n_ || At(p_) == u'<' || At(p_ + 1) == u'>') break;
      ++p_;
    }
    View v = Slice(s, std::min(p_, n_));
    if (At(p_) == u'<') ++p_;
    return v;
  }

  // The text up to the next "<"; steps past it.
  View ReadTail() {
    size_t lt = At(p_) == u'<' ? p_ : FindChar(u'<', p_);
    View v = Slice(p_, lt);
    p_ = lt < n_ ? lt + 1 : n_;
    return v;
  }

  // Skips the element whose start tag (from Start) was just read, with everything inside it.
  // The scan restarts after the tag's ">", never before the tag: a tag without one would
  // otherwise send it back over markup already read, again and again.
  // Resume, when not npos, is a "<" known to be the first markup after the tag's ">": the scan
  // starts there instead of looking back.
  void SkipElement(size_t Start, size_t Resume = View::npos) {
    if (Resume != View::npos) {
      p_ = Resume;
    } else if (!(At(p_) == u'/' && At(p_ + 1) == u'>')) {
      // At(n_) is no ">": the look starts below the end.
      p_ = p_ > Start ? FindLast(t_.data(), Start, std::min(p_, n_ - 1), u'>') : p_;
    }
    int depth = 1;
    while (depth > 0 && p_ < n_) {
      char16_t c = At(p_);
      if (c == u'/' && At(p_ + 1) == u'>') {
        --depth;
        p_ += 2;
      } else if (c == u'<' && At(p_ + 1) == u'/') {
        --depth;
        p_ += 2;
        while (p_ < n_ && At(p_) != u'>' && At(p_) != u'<') ++p_;
        if (At(p_) == u'>') ++p_;
      } else if (c == u'<' && StartsWith(p_, "<!--")) {
        p_ = std::min(n_, Find("-->", p_ + 4) + 3);
      } else if (c == u'<' && StartsWith(p_, "<![CDATA[")) {
        p_ = std::min(n_, Find("]]>", p_ + 9) + 3);
      } else if (c == u'<' && (At(p_ + 1) == u'?' || At(p_ + 1) == u'!')) {
        p_ = std::min(n_, FindChar(u'>', p_ + 1) + 1);
      } else if (c == u'<') {
        ++depth;
        ++p_;
      } else {
        p_ = FindAny(t_.data(), p_ + 1, n_, u'<', u'/', u'/', u'/');
      }
    }
  }

 private:
  View t_;
};

template <typename CharT>
void ParseText(TZvXMLEngine* Engine, std::basic_string_view<CharT> Text) {
  TZvXMLItem* root = Engine->RootItem();
  root->Items().Clear();
  root->TagName.clear();
  root->Value.reset();
  root->Attributes.clear();
  root->Tail.clear();
  root->Kind = ikProperty;

  Scanner<CharT> s(Text);
  Widen<CharT> wName, wValue, wAttrs, wTail, wClosed;
  const TZvIXMLOnTagEvent& onTag = Engine->OnTag();
  const TZvIXMLOnAfterTagEvent& onAfterTag = Engine->OnAfterTag();
  const bool autoAttributes = Engine->AttributesAutoProcess();
  // An engine without a budget still holds no more than the default allows.
  static const TResourceBudget kDefaultBudget;
  const TResourceBudget& budget = Engine->Budget() ? *Engine->Budget() : kDefaultBudget;
  const int64_t heldLimit = budget.Limits().MaxHeldElements;
  const size_t n = s.n_;
  s.ReadValue();  // whatever precedes the first tag (a stray mark, blanks) is not text
  TZvXMLItem* cur = nullptr;
  static const WideString kCData = u"![CDATA[";
  static const WideString kComment = u"!--";

  while (s.TwoUnitsFrom(s.p_)) {
    const size_t start = s.p_;
    std::u16string_view name, value, attrs, tail;
    WideString commentValue;
    bool isCData = false, isComment = false;
    size_t tagEnd = 0;  // where the attribute text ended

    bool cdata = s.p_ + 8 < n && s.At(s.p_) == u'!';
    for (size_t k = 0; cdata && k < 8; ++k) cdata = AsciiUpper(s.At(s.p_ + k)) == kCData[k];
    if (cdata) {
      s.p_ += 8;
      name = kCData;
      size_t close = s.Find("]]", s.p_);
      value = wValue(Text.substr(s.p_, close - s.p_));
      s.p_ = std::min(n, close + 2);
      if (s.At(s.p_) == u'>') ++s.p_;
      tail = wTail(s.ReadTail());
      isCData = true;
    } else if (s.StartsWith(s.p_, "!--")) {
      s.p_ += 3;
      name = kComment;
      size_t close = s.Find("-->", s.p_);
      commentValue = kComment;
      if (close < n) {
        commentValue.append(wValue(s.Slice(s.p_, close + 2)));
        s.p_ = close + 3;
      } else {
        // An unclosed comment runs to the end but for its last unit.
        const std::u16string_view rest = wValue(s.Slice(s.p_, n));
        commentValue.append(rest.substr(0, rest.size() >= 2 ? rest.size() - 1 : 0));
        s.p_ = n;
      }
      value = commentValue;
      tail = wTail(s.ReadTail());
      isComment = true;
    } else {
      const auto rawName = s.ReadName();
      const size_t attrsStart = s.p_;
      auto rawAttrs = s.ReadAttributes();
      // A document type's internal subset holds declarations ending in ">": it ends at "]>".
      if (!rawName.empty() && rawName[0] == '!' && rawAttrs.find('[') != rawAttrs.npos &&
          rawAttrs.find(']') == rawAttrs.npos) {
        const size_t close = s.Find("]", s.p_);
        s.p_ = std::min(n, s.FindChar(u'>', close));
        rawAttrs = s.Slice(attrsStart, s.p_);
      }
      tagEnd = s.p_;
      name = wName(rawName);
      attrs = wAttrs(rawAttrs);
      value = wValue(s.ReadValue());
    }

    bool accept = true;
    TZvXMLItem* item = nullptr;
    if (!name.empty()) {
      if (!cur) {
        // The first tag of a document (usually the declaration) is the root item itself.
        cur = root;
        item = root;
      } else {
        if (onTag) onTag(Engine, cur, name, value, attrs, accept);
        if (accept) {
          if (cur->Level() >= TZvXMLEngine::MaxDepth) throw Exception("XML elements are nested too deeply");
          item = TZvXMLItems::AddItem(cur);
          if (heldLimit > 0 && TZvXMLItems::Held() > heldLimit) budget.CheckHeldElements(TZvXMLItems::Held());
          cur = item;
        }
      }
    }

    if (accept && name.empty()) {
      AppendText(cur, value);
      if (cur) cur->Kind = ikProperty;
    } else if (accept) {
      item->TagName = name;
      if (!value.empty()) {
        if (!item->Value) item->Value = WideString(value);
        else item->Value->append(value);
      }
      if (isComment || isCData) {
        item->Kind = isComment ? ikComment : ikCDATA;
        item->Tail.assign(tail);
        cur = item->ParentItem();
      } else {
        item->Kind = ikProperty;
        if (!attrs.empty()) {
          item->Attributes.assign(attrs);
          if (autoAttributes || SameStrings(false, name, u"?xml")) item->ProcessAttributes();
        }
        // Processing instructions and declarations inside the document hold nothing.
        if (item != root && (name[0] == u'?' || name[0] == u'!')) {
          if (item->Value) item->Tail = *item->Value;
          item->Value.reset();
          cur = item->ParentItem();
        }
      }
    } else {
      if (!isComment && !isCData) {
        if (name[0] == u'?' || name[0] == u'!') {
          tail = value;  // an instruction holds no elements: nothing to skip
        } else {
          // A value that ended at "<" after a ">"-closed tag holds neither "<" nor "/>": the scan
          // for the element's end may start at that "<" (unless a ">" follows it, which the
          // look back would pick).
          const size_t lt = s.p_ - 1;
          const bool atText = s.At(tagEnd) == u'>' && lt > tagEnd && s.At(lt) == u'<' && s.At(s.p_) != u'>';
          s.SkipElement(start, atText ? lt : Scanner<CharT>::View::npos);
          tail = wTail(s.ReadTail());
        }
      }
      AppendText(cur, tail);
    }

    // End tags: each closes the innermost open item, whatever its name.
    while (s.p_ + 1 < n && s.At(s.p_) == u'/' && cur) {
      if (s.At(s.p_ + 1) == u'>' && s.p_ + 2 == n) {
        ++s.p_;
        break;
      }
      TZvXMLItem* closed = cur;
      cur = cur->ParentItem();
      // One look for whichever of "<" and ">" comes first: the end tag's name is read once.
      size_t gt = s.FindFirst(u'<', u'>', s.p_);
      size_t lt = s.At(gt) != u'>' ? gt : s.At(gt + 1) == u'<' ? gt + 1 : s.FindChar(u'<', gt + 1);
      if (gt < lt) closed->Tail.append(wClosed(s.Slice(gt + 1, lt)));
      s.p_ = lt < n ? lt + 1 : n;
      if (onAfterTag) {
        bool cancel = false;
        onAfterTag(Engine, closed, cancel);
        if (cancel) return;
      }
    }
    if (s.p_ <= start) s.p_ = start + 1;  // always move on, whatever the markup
  }
}

}  // namespace

void TZvXMLEngine::ParseXMLFromString(std::u16string_view Text) { ParseText(this, Text); }

void TZvXMLEngine::ParseXMLFromUtf8(std::string_view Text) { ParseText(this, Text); }

}  // namespace zvword
