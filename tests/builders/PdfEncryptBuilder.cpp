#include "builders/PdfEncryptBuilder.h"

#include <cstring>
#include <vector>

#include "pdf/ZvWPDFSecurity.h"
#include "support/ZvWCrypt.h"

namespace zvword::testing {

namespace {

const std::string kPad("\x28\xBF\x4E\x5E\x4E\x75\x8A\x41\x64\x00\x4E\x56\xFF\xFA\x01\x08"
                       "\x2E\x2E\x00\xB6\xD0\x68\x3E\x80\x2F\x0C\xA9\xFE\x64\x53\x69\x7A",
                       32);

std::string Padded(const std::string& pw) { return (pw + kPad).substr(0, 32); }

std::string Rc4(const std::string& key, const std::string& data) {
  TRC4Context c;
  RC4Init(c, reinterpret_cast<const uint8_t*>(key.data()), uint32_t(key.size()));
  std::string out;
  RC4Crypt3(c, reinterpret_cast<const uint8_t*>(data.data()), out, int(data.size()));
  return out;
}

std::string XorKey(const std::string& key, int i) {
  std::string k = key;
  for (char& ch : k) ch = char(uint8_t(ch) ^ i);
  return k;
}

std::string AesCbc(const std::string& key, const std::string& iv, std::string data, bool pad) {
  if (pad) {
    size_t p = 16 - data.size() % 16;
    data.append(p, char(p));
  }
  AESContext c;
  AES_SetKey_Enc(c, reinterpret_cast<const uint8_t*>(key.data()), int(key.size() * 8));
  uint8_t v[16];
  std::memcpy(v, iv.data(), 16);
  std::string out(data.size(), '\0');
  AES_CBC_Encrypt(c, v, reinterpret_cast<const uint8_t*>(data.data()), reinterpret_cast<uint8_t*>(out.data()),
                  data.size() / 16);
  return out;
}

std::string Hex(const std::string& s) {
  static const char* d = "0123456789ABCDEF";
  std::string out = "<";
  for (unsigned char c : s) {
    out += d[c >> 4];
    out += d[c & 15];
  }
  return out + ">";
}

std::string Literal(const std::string& s) {
  std::string out = "(";
  for (char c : s) {
    if (c == '(' || c == ')' || c == '\\') out += '\\';
    out += c;
  }
  return out + ")";
}

struct Keys {
  std::string file;  // the file key
  std::string O, U, OE, UE, Perms;
};

Keys DeriveKeys(const PdfEncryptOptions& o) {
  Keys k;
  if (o.R >= 5) {
    // A fixed file key and salts; the hash is the library's (checked against real files elsewhere).
    k.file = std::string(32, '\0');
    for (int i = 0; i < 32; ++i) k.file[size_t(i)] = char(i * 13 + 5);
    TZvPDFStandardEncryption h;
    h.SetRevision(o.R);
    std::string uvs = "UVSALT01", uks = "UKSALT01", ovs = "OVSALT01", oks = "OKSALT01";
    k.U = h.HashR56(o.UserPassword, uvs, "") + uvs + uks;
    k.UE = AesCbc(h.HashR56(o.UserPassword, uks, ""), std::string(16, '\0'), k.file, false);
    k.O = h.HashR56(o.OwnerPassword, ovs, k.U) + ovs + oks;
    k.OE = AesCbc(h.HashR56(o.OwnerPassword, oks, k.U), std::string(16, '\0'), k.file, false);
    return k;
  }
  size_t n = o.R == 2 ? 5 : size_t(o.KeyBits / 8);
  // Owner entry: the padded user password encrypted under a key from the owner password.
  std::string od = MD5Of(Padded(o.OwnerPassword.empty() ? o.UserPassword : o.OwnerPassword));
  if (o.R >= 3)
    for (int i = 0; i < 50; ++i) od = MD5Of(od);
  std::string okey = od.substr(0, n);
  k.O = Rc4(okey, Padded(o.UserPassword));
  if (o.R >= 3)
    for (int i = 1; i <= 19; ++i) k.O = Rc4(XorKey(okey, i), k.O);
  // File key.
  std::string in = Padded(o.UserPassword) + k.O;
  uint32_t p = uint32_t(o.P);
  for (int i = 0; i < 4; ++i) in += char(p >> (8 * i));
  in += o.ID;
  if (o.R >= 4 && !o.EncryptMetadata) in += std::string(4, '\xFF');
  std::string d = MD5Of(in);
  if (o.R >= 3)
    for (int i = 0; i < 50; ++i) d = MD5Of(d.substr(0, n));
  k.file = d.substr(0, n);
  if (o.R == 2) {
    k.U = Rc4(k.file, kPad);
  } else {
    std::string u = Rc4(k.file, MD5Of(kPad + o.ID));
    for (int i = 1; i <= 19; ++i) u = Rc4(XorKey(k.file, i), u);
    k.U = u + std::string(16, '\x55');
  }
  return k;
}

std::string EncryptFor(const PdfEncryptOptions& o, const Keys& k, int num, int gen, const std::string& data) {
  bool aes = o.V >= 4 && o.Cfm != "V2";
  if (aes && k.file.size() == 32) return "IVIVIVIVIVIVIVIV" + AesCbc(k.file, "IVIVIVIVIVIVIVIV", data, true);
  std::string s = k.file;
  s += char(num & 255);
  s += char((num >> 8) & 255);
  s += char((num >> 16) & 255);
  s += char(gen & 255);
  s += char((gen >> 8) & 255);
  if (aes) s += "sAlT";
  std::string key = MD5Of(s).substr(0, std::min<size_t>(k.file.size() + 5, 16));
  if (aes) return "ivivivivivivivIV" + AesCbc(key, "ivivivivivivivIV", data, true);
  return Rc4(key, data);
}

}  // namespace

std::string MakeEncryptedPdf(const PdfEncryptOptions& o) {
  Keys k = DeriveKeys(o);
  std::vector<std::string> bodies(9);
  std::vector<int> gens(9, 0);
  bodies[1] = "<< /Type /Catalog /Pages 2 0 R" + std::string(o.XmpTitle.empty() ? "" : " /Metadata 8 0 R") + " >>";
  bodies[2] = "<< /Type /Pages /Kids [3 0 R] /Count 1 >>";
  bodies[3] = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Resources << /Font << /F1 4 0 R >> >> "
              "/Contents 5 " + std::to_string(o.ContentGen) + " R >>";
  bodies[4] = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
  std::string content = "BT /F1 12 Tf 72 712 Td " + Literal(o.Text) + " Tj ET";
  std::string enc = EncryptFor(o, k, 5, o.ContentGen, content);
  gens[5] = o.ContentGen;
  bodies[5] = "<< /Length " + std::to_string(enc.size()) + " >>\nstream\n" + enc + "\nendstream";
  bodies[6] = "<< " + (o.InfoWithoutTitle ? std::string() : "/Title " + Hex(EncryptFor(o, k, 6, 0, o.Title)) + " ") +
              "/Producer " + Hex(EncryptFor(o, k, 6, 0, "Builder")) + " >>";
  // Extra entries come first: a reader takes the first of duplicate keys.
  std::string e = "<< " + o.ExtraEncryptEntries + " /Filter /Standard /V " + std::to_string(o.V) + " /R " + std::to_string(o.R);
  if (o.V >= 2) e += " /Length " + std::to_string(o.V >= 5 ? 256 : o.KeyBits);
  e += " /O " + Hex(k.O) + " /U " + Hex(k.U) + " /P " + std::to_string(o.P);
  if (o.R >= 5) e += " /OE " + Hex(k.OE) + " /UE " + Hex(k.UE) + " /Perms <00112233445566778899AABBCCDDEEFF>";
  if (o.V >= 4) {
    int len = o.Cfm == "AESV3" ? 32 : o.KeyBits / 8;
    e += " /CF << /StdCF << " + o.CryptFilterEntries + " /CFM /" + o.Cfm + " /Length " + std::to_string(len) +
         " >> >> /StmF /StdCF /StrF /StdCF";
    if (!o.EncryptMetadata) e += " /EncryptMetadata false";
  }
  e += " >>";
  bodies[7] = e;
  if (!o.XmpTitle.empty()) {
    std::string xmp = "<?xpacket begin=\"\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF><rdf:Description>"
                      "<dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" + o.XmpTitle +
                      "</rdf:li></rdf:Alt></dc:title><dc:creator><rdf:Seq><rdf:li>Ann</rdf:li><rdf:li>Bob</rdf:li>"
                      "</rdf:Seq></dc:creator></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
    std::string data = o.EncryptMetadata ? EncryptFor(o, k, 8, 0, xmp) : xmp;
    bodies[8] = "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                "\nendstream";
  } else {
    bodies[8] = "null";
  }
  std::string out = "%PDF-1.7\n%\xE2\xE3\xCF\xD3\n";
  std::vector<size_t> offs(9, 0);
  for (int i = 1; i <= 8; ++i) {
    offs[size_t(i)] = out.size();
    out += std::to_string(i) + " " + std::to_string(gens[size_t(i)]) + " obj\n" + bodies[size_t(i)] + "\nendobj\n";
  }
  size_t xref = out.size();
  out += "xref\n0 9\n0000000000 65535 f \n";
  for (int i = 1; i <= 8; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu %05d n \n", offs[size_t(i)], gens[size_t(i)]);
    out += line;
  }
  std::string id = o.IDAsLiteral ? Literal(o.ID) : Hex(o.ID);
  out += "trailer\n<< /Size 9 /Root 1 0 R /Info 6 0 R /Encrypt 7 0 R /ID [" + id + " " + id + "] >>\nstartxref\n" +
         std::to_string(xref) + "\n%%EOF\n";
  return out;
}

}  // namespace zvword::testing
