// The cut list: an ordered, owning list of cut points, each the start of one fragment
// with its output name (empty: the stretch is passed over) and its report lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/timevalue.h"

namespace zembrio {

struct TCutPoint : TTimeValue {
  bool IsNew = false;
  std::string Name;
  std::vector<std::string> Report;

  bool IsSkipped() const { return Name.empty(); }
};

class TCPList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // The cut point at index, or nullptr when index is out of range.
  TCutPoint* Item(int index) const;
  TCutPoint& operator[](int index) const { return *items_[index]; }
  TCutPoint& Add(std::unique_ptr<TCutPoint> point);
  TCutPoint& Add();  // appends a new zero cut point
  TCutPoint& Insert(int index, std::unique_ptr<TCutPoint> point);
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(const TCutPoint* point) const;  // -1 when absent
  void Exchange(int a, int b);

  void PurgeNew();
  void SortByTime();
  void LinkToPrevious(int index);
  void LinkToNext(int index);
  TCutPoint& InsertNewAfter(int index);

 private:
  std::vector<std::unique_ptr<TCutPoint>> items_;
};

}  // namespace zembrio
