#include "cutlist/cutpoint.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace zembrio {

namespace {

// Seconds and milliseconds in one number; 64 bits so that very long times still order right.
int64_t TimeKey(const TCutPoint& point) {
  return static_cast<int64_t>(point.Seconds) * 1000 + point.Milliseconds;
}

}  // namespace

TCutPoint* TCPList::Item(int index) const {
  if (index < 0 || index >= Count()) {
    return nullptr;
  }
  return items_[index].get();
}

TCutPoint& TCPList::Add(std::unique_ptr<TCutPoint> point) {
  return Insert(Count(), std::move(point));
}

TCutPoint& TCPList::Add() {
  return Add(std::make_unique<TCutPoint>());
}

TCutPoint& TCPList::Insert(int index, std::unique_ptr<TCutPoint> point) {
  if (index < 0 || index > Count()) {
    throw std::out_of_range("TCPList::Insert: index out of range");
  }
  if (!point) {
    point = std::make_unique<TCutPoint>();
  }
  TCutPoint& inserted = *point;
  items_.insert(items_.begin() + index, std::move(point));
  return inserted;
}

void TCPList::Delete(int index) {
  if (Item(index) == nullptr) {
    throw std::out_of_range("TCPList::Delete: index out of range");
  }
  items_.erase(items_.begin() + index);
}

int TCPList::IndexOf(const TCutPoint* point) const {
  for (int i = 0; i < Count(); ++i) {
    if (items_[i].get() == point) {
      return i;
    }
  }
  return -1;
}

void TCPList::Exchange(int a, int b) {
  if (Item(a) == nullptr || Item(b) == nullptr) {
    throw std::out_of_range("TCPList::Exchange: index out of range");
  }
  std::swap(items_[a], items_[b]);
}

void TCPList::PurgeNew() {
  std::erase_if(items_, [](const std::unique_ptr<TCutPoint>& point) { return point->IsNew; });
}

void TCPList::SortByTime() {
  // Stable, so cut points typed at the same time keep the order the user gave them.
  std::stable_sort(items_.begin(), items_.end(),
                   [](const std::unique_ptr<TCutPoint>& a, const std::unique_ptr<TCutPoint>& b) {
                     return TimeKey(*a) < TimeKey(*b);
                   });
}

void TCPList::LinkToPrevious(int index) {
  if (index < 1 || index >= Count()) {
    throw std::out_of_range("TCPList::LinkToPrevious: index out of range");
  }
  AssignTime(*items_[index], *items_[index - 1]);
  Delete(index - 1);
}

void TCPList::LinkToNext(int index) {
  if (index < 0 || index + 1 >= Count()) {
    throw std::out_of_range("TCPList::LinkToNext: index out of range");
  }
  Delete(index + 1);
}

TCutPoint& TCPList::InsertNewAfter(int index) {
  const TCutPoint* source = Item(index);
  if (source == nullptr) {
    throw std::out_of_range("TCPList::InsertNewAfter: index out of range");
  }
  auto point = std::make_unique<TCutPoint>();
  AssignTime(*point, *source);
  point->IsNew = true;
  return Insert(index + 1, std::move(point));
}

}  // namespace zembrio
