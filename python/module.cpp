// The extension under the zvword package: Extract and detection over the registry. The package's
// __init__ gives it its Python shape (Document, argument checks); this file only converts.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/Version.h"
#include "zvword.h"

namespace py = pybind11;

namespace {

// A reader's UTF-8 may still carry a byte of no valid sequence (a property copied through): it
// becomes U+FFFD rather than an exception that would lose the whole document.
py::str Str(std::string_view s) {
  PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "replace");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

std::string_view View(const py::bytes& b) {
  char* p = nullptr;
  Py_ssize_t n = 0;
  if (PyBytes_AsStringAndSize(b.ptr(), &p, &n) != 0) throw py::error_already_set();
  return {p, static_cast<size_t>(n)};
}

// (format, text, lists, properties, error, partial, warnings) of a path's or the bytes' document.
py::tuple ExtractDocument(const py::bytes& source, bool isPath, const std::string& name, int format,
                          const std::vector<std::string>& lists, const py::bytes& password, int32_t maxLength,
                          const std::string& reader) {
  zvword::TExtractOptions o;
  o.Format = static_cast<zvword::TMSTextFormating>(format);
  o.Lists = lists;
  o.Reader = reader;
  o.ReaderOptions.Password = std::string(View(password));
  o.MaxLength = maxLength;
  const std::string_view data = View(source);  // immutable bytes the caller holds on to
  zvword::TExtractResult r;
  // Reading takes no Python object, so other threads run meanwhile. Not a scoped guard: a daemon
  // thread that finishes while the interpreter shuts down is ended inside PyEval_RestoreThread,
  // which must not happen in a destructor (that ends the process).
  PyThreadState* unlocked = PyEval_SaveThread();
  try {
    r = isPath ? zvword::Extract(std::string(data), o) : zvword::Extract(data, name, o);
  } catch (...) {
    PyEval_RestoreThread(unlocked);
    throw;
  }
  PyEval_RestoreThread(unlocked);
  py::dict listDict, properties;
  for (const auto& [n, text] : r.Lists) listDict[Str(n)] = Str(text);
  for (const auto& p : r.Properties)
    properties[Str(p.Name)] = p.Number ? py::object(py::int_(std::stoll(p.Value))) : py::object(Str(p.Value));
  py::list warnings;
  for (const auto& w : r.Warnings) warnings.append(Str(w));
  return py::make_tuple(r.Format.empty() ? py::object(py::none()) : py::object(Str(r.Format)), Str(r.Text), listDict,
                        properties, r.Error.empty() ? py::object(py::none()) : py::object(Str(r.Error)), r.Partial,
                        warnings);
}

py::object Detect(const py::bytes& data, const std::string& name) {
  const std::string_view bytes = View(data);
  const zvword::TZvReaderEntry* e = nullptr;
  {
    py::gil_scoped_release unlocked;
    e = zvword::DetectFormat(bytes, name);
  }
  return e ? py::object(Str(e->Name)) : py::object(py::none());
}

}  // namespace

PYBIND11_MODULE(_zvword, m) {
  m.doc() = "zvword's reader library; use the zvword package.";
  py::register_exception<zvword::Exception>(m, "Error");
  m.def("_extract", &ExtractDocument);
  m.def("_detect", &Detect);
  m.def("_list_names", &zvword::ExtractListNames);
  std::vector<std::string> readers;
  for (const auto& e : zvword::ReaderEntries()) readers.emplace_back(e.Name);
  m.attr("READERS") = readers;
  m.attr("__version__") = zvword::LibraryVersion();
}
