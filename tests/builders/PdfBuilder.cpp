#include "builders/PdfBuilder.h"

#include <zlib.h>

#include <cstdio>
#include <map>
#include <stdexcept>

namespace zvword::testing {

std::string PdfBuilder::FilterName(PdfFilter f) {
  switch (f) {
    case PdfFilter::Flate: return "/FlateDecode";
    case PdfFilter::ASCIIHex: return "/ASCIIHexDecode";
    case PdfFilter::ASCII85: return "/ASCII85Decode";
    default: return "";
  }
}

std::string PdfBuilder::Encode(const std::string& data, PdfFilter f) {
  switch (f) {
    case PdfFilter::Flate: {
      uLongf n = compressBound(static_cast<uLong>(data.size()));
      std::string out(n, '\0');
      if (compress(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
                    static_cast<uLong>(data.size())) != Z_OK)
        throw std::runtime_error("compress failed");
      out.resize(n);
      return out;
    }
    case PdfFilter::ASCIIHex: {
      static const char* hex = "0123456789ABCDEF";
      std::string out;
      for (unsigned char c : data) {
        out += hex[c >> 4];
        out += hex[c & 15];
        if (out.size() % 61 == 60) out += '\n';  // white space inside is legal
      }
      return out + ">";
    }
    case PdfFilter::ASCII85: {
      std::string out;
      size_t i = 0;
      for (; i + 4 <= data.size(); i += 4) {
        uint32_t v = static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << 24 |
                     static_cast<uint32_t>(static_cast<unsigned char>(data[i + 1])) << 16 |
                     static_cast<uint32_t>(static_cast<unsigned char>(data[i + 2])) << 8 |
                     static_cast<unsigned char>(data[i + 3]);
        if (v == 0) {
          out += 'z';
          continue;
        }
        char g[5];
        for (int k = 4; k >= 0; --k) {
          g[k] = static_cast<char>(v % 85 + 33);
          v /= 85;
        }
        out.append(g, 5);
      }
      if (size_t rest = data.size() - i) {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) v = v << 8 | (k < rest ? static_cast<unsigned char>(data[i + k]) : 0);
        char g[5];
        for (int k = 4; k >= 0; --k) {
          g[k] = static_cast<char>(v % 85 + 33);
          v /= 85;
        }
        out.append(g, rest + 1);
      }
      return out + "~>";
    }
    default:
      return data;
  }
}

int PdfBuilder::Add(const std::string& body) {
  int n = next_++;
  Set(n, body);
  return n;
}

void PdfBuilder::Set(int num, const std::string& body) { sections_.back().push_back({num, body, false}); }

int PdfBuilder::AddStream(const std::string& dict, const std::string& data, PdfFilter filter) {
  int n = next_++;
  SetStream(n, dict, data, filter);
  return n;
}

void PdfBuilder::SetStream(int num, const std::string& dict, const std::string& data, PdfFilter filter) {
  std::string enc = Encode(data, filter);
  std::string d = "<< " + dict + " /Length " + std::to_string(enc.size());
  if (filter != PdfFilter::None) d += " /Filter " + FilterName(filter);
  d += " >>\nstream\n" + enc + "\nendstream";
  Set(num, d);
}

int PdfBuilder::AddCompressed(const std::string& body) {
  int n = next_++;
  sections_.back().push_back({n, body, true});
  return n;
}

std::string PdfBuilder::Build(PdfXRef kind, bool startxref) {
  std::string out = "%PDF-" + version_ + "\n%\xE2\xE3\xCF\xD3\n";
  long prev = -1;
  int size = next_;
  for (auto& sec : sections_) {
    std::map<int, std::pair<long, int>> entries;  // num -> (offset or stream num, index) ; index -1 = plain
    // Object stream of the section.
    std::string head, objs;
    std::vector<int> packed;
    for (auto& o : sec)
      if (o.compressed) {
        head += std::to_string(o.num) + " " + std::to_string(objs.size()) + " ";
        objs += o.body + "\n";
        packed.push_back(o.num);
      }
    for (auto& o : sec) {
      if (o.compressed) continue;
      entries[o.num] = {static_cast<long>(out.size()), -1};
      out += std::to_string(o.num) + " 0 obj\n" + o.body + "\nendobj\n";
    }
    if (!packed.empty()) {
      int sn = size++;
      std::string data = head + objs;
      std::string enc = Encode(data, PdfFilter::Flate);
      entries[sn] = {static_cast<long>(out.size()), -1};
      out += std::to_string(sn) + " 0 obj\n<< /Type /ObjStm /N " + std::to_string(packed.size()) + " /First " +
             std::to_string(head.size()) + " /Filter /FlateDecode /Length " + std::to_string(enc.size()) + " >>\nstream\n" +
             enc + "\nendstream\nendobj\n";
      for (size_t i = 0; i < packed.size(); ++i) entries[packed[i]] = {sn, static_cast<int>(i)};
    }
    std::string trailerKeys = " /Root " + std::to_string(root_) + " 0 R";
    if (info_) trailerKeys += " /Info " + std::to_string(info_) + " 0 R";
    if (prev >= 0) trailerKeys += " /Prev " + std::to_string(prev);
    long xrefAt = static_cast<long>(out.size());
    if (kind == PdfXRef::Table) {
      out += "xref\n";
      if (prev < 0) out += "0 1\n0000000000 65535 f \n";
      // One subsection per run of consecutive numbers.
      for (auto it = entries.begin(); it != entries.end();) {
        auto run = it;
        int first = it->first, count = 0;
        while (run != entries.end() && run->first == first + count) ++run, ++count;
        out += std::to_string(first) + " " + std::to_string(count) + "\n";
        for (; it != run; ++it) {
          char line[32];
          std::snprintf(line, sizeof line, "%010ld 00000 n \n", it->second.first);
          out += line;
        }
      }
      out += "trailer\n<< /Size " + std::to_string(size) + trailerKeys + " >>\n";
    } else {
      int xn = size++;
      entries[xn] = {xrefAt, -1};
      std::string recs, index;
      if (prev < 0) {
        recs += std::string("\x00\x00\x00\x00\xff\xff", 6);
        index += "0 1 ";
      }
      for (auto it = entries.begin(); it != entries.end();) {
        auto run = it;
        int first = it->first, count = 0;
        while (run != entries.end() && run->first == first + count) ++run, ++count;
        index += std::to_string(first) + " " + std::to_string(count) + " ";
        for (; it != run; ++it) {
          long v = it->second.first;
          int idx = it->second.second;
          char t = idx < 0 ? 1 : 2;
          recs += t;
          for (int s = 24; s >= 0; s -= 8) recs += static_cast<char>((v >> s) & 0xFF);
          recs += static_cast<char>((idx < 0 ? 0 : idx) >> 8);
          recs += static_cast<char>((idx < 0 ? 0 : idx) & 0xFF);
        }
      }
      std::string enc = Encode(recs, PdfFilter::Flate);
      out += std::to_string(xn) + " 0 obj\n<< /Type /XRef /Size " + std::to_string(size) + " /W [1 4 2] /Index [" + index +
             "] /Filter /FlateDecode /Length " + std::to_string(enc.size()) + trailerKeys + " >>\nstream\n" + enc +
             "\nendstream\nendobj\n";
    }
    if (startxref) out += "startxref\n" + std::to_string(xrefAt) + "\n%%EOF\n";
    prev = xrefAt;
  }
  return out;
}

std::string MakeTextPdf(const std::vector<std::string>& pageContents, PdfXRef kind, PdfFilter filter) {
  PdfBuilder b;
  int catalog = b.Reserve(), pages = b.Reserve();
  int font = b.Add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
  std::string kids;
  for (const auto& c : pageContents) {
    int content = b.AddStream("", c, filter);
    int page = b.Add("<< /Type /Page /Parent " + std::to_string(pages) + " 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 " +
                     std::to_string(font) + " 0 R >> >> /Contents " + std::to_string(content) + " 0 R >>");
    kids += std::to_string(page) + " 0 R ";
  }
  b.Set(pages, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(pageContents.size()) + " >>");
  b.Set(catalog, "<< /Type /Catalog /Pages " + std::to_string(pages) + " 0 R >>");
  b.SetRoot(catalog);
  return b.Build(kind);
}

}  // namespace zvword::testing
