// The scanner of the XML engine: one pass over the decoded text, no recursion. End tags close the
// innermost open element whatever their name, so damaged markup still yields its text.
#include "platform/Exception.h"
#include "platform/TextHelpers.h"
#include "support/ZvWXML.h"

namespace zvword {
namespace {

bool IsNameChar(char16_t c) {
  return c == u'!' || c == u'-' || c == u'.' || c == u':' || c == u'?' || c == u'_' ||
         (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c >= 0x80;
}

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

class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : t_(text) {
    // Nothing after a NUL character is markup.
    size_t nul = t_.find(u'\0');
    if (nul != std::u16string_view::npos) t_ = t_.substr(0, nul);
    n_ = t_.size();
  }

  size_t n_;
  size_t p_ = 0;

  char16_t At(size_t i) const { return i < n_ ? t_[i] : 0; }
  bool StartsWith(size_t i, std::u16string_view s) const { return t_.substr(std::min(i, n_), s.size()) == s; }
  std::u16string_view Slice(size_t a, size_t b) const { return t_.substr(a, b - a); }

  size_t Find(std::u16string_view s, size_t from) const {
    size_t r = t_.find(s, from);
    return r == std::u16string_view::npos ? n_ : r;
  }
  size_t FindChar(char16_t c, size_t from) const {
    size_t r = t_.find(c, from);
    return r == std::u16string_view::npos ? n_ : r;
  }

  std::u16string_view ReadName() {
    size_t s = p_;
    while (p_ < n_ && IsNameChar(t_[p_])) ++p_;
    return Slice(s, p_);
  }

  // Up to ">" or a "/" outside quotes. A ">" ends the run even inside quotes, so one stray quote
  // cannot swallow the rest of the part.
  std::u16string_view ReadAttributes() {
    size_t s = p_;
    char16_t quote = 0;
    while (p_ < n_) {
      char16_t c = t_[p_];
      if (c == u'>') break;
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == u'"' || c == u'\'') {
        quote = c;
      } else if (c == u'/') {
        break;
      }
      ++p_;
    }
    return Slice(s, p_);
  }

  std::u16string_view ReadValue() {
    while (p_ < n_ && t_[p_] == u'>') ++p_;
    size_t s = p_;
    while (p_ < n_ && t_[p_] != u'<' && !(t_[p_] == u'/' && At(p_ + 1) == u'>')) ++p_;
    std::u16string_view v = Slice(s, p_);
    if (At(p_) == u'<') ++p_;
    return v;
  }

  // The text up to the next "<"; steps past it.
  std::u16string_view ReadTail() {
    size_t lt = FindChar(u'<', p_);
    std::u16string_view v = Slice(p_, lt);
    p_ = lt < n_ ? lt + 1 : n_;
    return v;
  }

  // Skips the element whose start tag (from Start) was just read, with everything inside it.
  // The scan restarts after the tag's ">", never before the tag: a tag without one would
  // otherwise send it back over markup already read, again and again.
  void SkipElement(size_t Start) {
    if (!(At(p_) == u'/' && At(p_ + 1) == u'>')) {
      size_t q = std::min(p_, n_);
      while (q > Start && At(q) != u'>') --q;
      p_ = q;
    }
    int depth = 1;
    while (depth > 0 && p_ < n_) {
      char16_t c = t_[p_];
      if (c == u'/' && At(p_ + 1) == u'>') {
        --depth;
        p_ += 2;
      } else if (c == u'<' && At(p_ + 1) == u'/') {
        --depth;
        p_ += 2;
        while (p_ < n_ && t_[p_] != u'>' && t_[p_] != u'<') ++p_;
        if (At(p_) == u'>') ++p_;
      } else if (c == u'<' && StartsWith(p_, u"<!--")) {
        p_ = std::min(n_, Find(u"-->", p_ + 4) + 3);
      } else if (c == u'<' && StartsWith(p_, u"<![CDATA[")) {
        p_ = std::min(n_, Find(u"]]>", p_ + 9) + 3);
      } else if (c == u'<' && (At(p_ + 1) == u'?' || At(p_ + 1) == u'!')) {
        p_ = std::min(n_, FindChar(u'>', p_ + 1) + 1);
      } else {
        if (c == u'<') ++depth;
        ++p_;
      }
    }
  }

 private:
  std::u16string_view t_;
};

}  // namespace

void TZvXMLEngine::ParseXMLFromString(std::u16string_view Text) {
  TZvXMLItem* root = FRootItem.get();
  root->Items().Clear();
  root->TagName.clear();
  root->Value.reset();
  root->Attributes.clear();
  root->Tail.clear();
  root->Kind = ikProperty;

  Scanner s(Text);
  const size_t n = s.n_;
  s.ReadValue();  // whatever precedes the first tag (a stray mark, blanks) is not text
  TZvXMLItem* cur = nullptr;
  static const WideString kCData = u"![CDATA[";
  static const WideString kComment = u"!--";

  while (s.p_ + 1 < n) {
    const size_t start = s.p_;
    std::u16string_view name, value, attrs, tail;
    WideString commentValue;
    bool isCData = false, isComment = false;

    bool cdata = s.p_ + 8 < n;
    for (size_t k = 0; cdata && k < 8; ++k) cdata = AsciiUpper(s.At(s.p_ + k)) == kCData[k];
    if (cdata) {
      s.p_ += 8;
      name = kCData;
      size_t close = s.Find(u"]]", s.p_);
      value = std::u16string_view(Text).substr(s.p_, close - s.p_);
      s.p_ = std::min(n, close + 2);
      if (s.At(s.p_) == u'>') ++s.p_;
      tail = s.ReadTail();
      isCData = true;
    } else if (s.StartsWith(s.p_, u"!--")) {
      s.p_ += 3;
      name = kComment;
      size_t close = s.Find(u"-->", s.p_);
      commentValue = kComment;
      if (close < n) {
        commentValue.append(s.Slice(s.p_, close + 2));
        s.p_ = close + 3;
      } else {
        commentValue.append(s.Slice(s.p_, n - 1 > s.p_ ? n - 1 : s.p_));
        s.p_ = n;
      }
      value = commentValue;
      tail = s.ReadTail();
      isComment = true;
    } else {
      name = s.ReadName();
      attrs = s.ReadAttributes();
      // A document type's internal subset holds declarations ending in ">": it ends at "]>".
      if (!name.empty() && name[0] == u'!' && attrs.find(u'[') != std::u16string_view::npos &&
          attrs.find(u']') == std::u16string_view::npos) {
        const size_t close = s.Find(u"]", s.p_);
        s.p_ = std::min(n, s.FindChar(u'>', close));
        attrs = std::u16string_view(Text).substr(attrs.data() - Text.data(), s.p_ - static_cast<size_t>(attrs.data() - Text.data()));
      }
      value = s.ReadValue();
    }

    bool accept = true;
    TZvXMLItem* item = nullptr;
    if (!name.empty()) {
      if (!cur) {
        // The first tag of a document (usually the declaration) is the root item itself.
        cur = root;
        item = root;
      } else {
        if (FOnTag) FOnTag(this, cur, name, value, attrs, accept);
        if (accept) {
          if (cur->Level() >= MaxDepth) throw Exception("XML elements are nested too deeply");
          item = TZvXMLItems::AddItem(cur);
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
          if (FAttributesAutoProcess || SameStrings(false, name, u"?xml")) item->ProcessAttributes();
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
          s.SkipElement(start);
          tail = s.ReadTail();
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
      size_t lt = s.FindChar(u'<', s.p_);
      size_t gt = s.FindChar(u'>', s.p_);
      if (gt < lt) closed->Tail.append(s.Slice(gt + 1, lt));
      s.p_ = lt < n ? lt + 1 : n;
      if (FOnAfterTag) {
        bool cancel = false;
        FOnAfterTag(this, closed, cancel);
        if (cancel) return;
      }
    }
    if (s.p_ <= start) s.p_ = start + 1;  // always move on, whatever the markup
  }
}

}  // namespace zvword
