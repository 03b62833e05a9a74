// The resources one document may take, whatever path a reader follows through it. Every reader
// charges the one budget of its component; a hostile file that nests, repeats or inflates runs
// into a limit and ends in an exception that says which limit it was.
#pragma once
#include <cstdint>
#include <string>

#include "platform/Exception.h"

namespace zvword {

// A limit of the budget was reached; the text read so far stays in the output list.
class ZVWORD_API EResourceLimit : public Exception {
 public:
  using Exception::Exception;
};

// Safe defaults: far above what real documents need, far below what hurts a batch.
struct TResourceLimits {
  // All inflation and filter output of one load; below 1 GiB so that a document's memory, which
  // holds the decoded bytes besides its input, stays under 1 GiB.
  int64_t MaxDecodedBytes = 768ll << 20;
  int64_t MaxObjects = 20'000'000;         // objects, records or entries fetched
  // Content operators, XML items, records decoded. About five seconds of PDF forms drawing forms
  // (each costs its operators every time it is drawn); real documents stay far below.
  int64_t MaxOperations = 100'000'000;
  int32_t MaxDepth = 64;                   // fetches, forms or containers nested in each other
  int64_t MaxOutputChars = 1024ll << 20;   // characters of text produced
  // XML elements and attributes held in memory at once. Each costs about 200 bytes, so a part
  // kept whole that is all small elements would take 25 times its size: a 200 KB package can
  // inflate to gigabytes of tree. Readers that stream their main part hold only its latest items.
  int64_t MaxHeldElements = 3'000'000;
};

class TResourceBudget {
 public:
  const TResourceLimits& Limits() const { return FLimits; }
  void SetLimits(const TResourceLimits& l) { FLimits = l; }
  // Starts a new document: every count back to zero.
  void Reset() {
    FDecoded = FObjects = FOperations = FOutput = 0;
    FDepth = 0;
  }

  void ChargeDecoded(int64_t n) { Charge(FDecoded, n, FLimits.MaxDecodedBytes, "decoded data", "bytes"); }
  void ChargeObjects(int64_t n = 1) { Charge(FObjects, n, FLimits.MaxObjects, nullptr, "objects"); }
  void ChargeOperations(int64_t n = 1) { Charge(FOperations, n, FLimits.MaxOperations, nullptr, "operations"); }
  void ChargeOutput(int64_t n) { Charge(FOutput, n, FLimits.MaxOutputChars, "text", "characters"); }

  // Held counts are not summed: the caller says how many it holds now.
  void CheckHeldElements(int64_t held) const {
    if (FLimits.MaxHeldElements > 0 && held > FLimits.MaxHeldElements)
      throw EResourceLimit("Document exceeds the limit of " + std::to_string(FLimits.MaxHeldElements) +
                           " XML elements held at once");
  }

  int64_t Decoded() const { return FDecoded; }
  int64_t Objects() const { return FObjects; }
  int64_t Operations() const { return FOperations; }
  int64_t Output() const { return FOutput; }
  int32_t Depth() const { return FDepth; }

  // Holds one level of nesting for as long as it lives; the level past MaxDepth raises.
  class TDepthGuard {
   public:
    explicit TDepthGuard(TResourceBudget& b) : FBudget(b) {
      if (FBudget.FDepth >= FBudget.FLimits.MaxDepth)
        throw EResourceLimit("Document exceeds the nesting limit of " + std::to_string(FBudget.FLimits.MaxDepth) +
                             " levels");
      ++FBudget.FDepth;
    }
    ~TDepthGuard() { --FBudget.FDepth; }
    TDepthGuard(const TDepthGuard&) = delete;
    TDepthGuard& operator=(const TDepthGuard&) = delete;

   private:
    TResourceBudget& FBudget;
  };

 private:
  // The message reads "… N unit of what", or "… N unit" when the unit says it all.
  static void Charge(int64_t& count, int64_t n, int64_t limit, const char* what, const char* unit) {
    if (n < 0) n = 0;
    // Written so that the sum cannot wrap: the remaining room is compared, never count + n.
    if (limit > 0 && (count > limit || n > limit - count))
      throw EResourceLimit("Document exceeds the limit of " + std::to_string(limit) + " " + unit +
                           (what ? std::string(" of ") + what : std::string()));
    count += n;
  }

  TResourceLimits FLimits;
  int64_t FDecoded = 0, FObjects = 0, FOperations = 0, FOutput = 0;
  int32_t FDepth = 0;
};

}  // namespace zvword
