// byte_queue.h - a bounded first-in first-out queue of bytes (a ring buffer).
//
// The serial library keeps one for received and one for queued characters of every port. The
// capacity is fixed when the queue is sized; a push into a full queue is refused, so a flood of
// input can never grow memory.
#pragma once

#include <cstddef>
#include <vector>

namespace tarnwick {

class ByteQueue {
 public:
  ByteQueue() = default;
  explicit ByteQueue(std::size_t capacity) { Resize(capacity); }

  // Empties the queue and gives it room for capacity bytes.
  void Resize(std::size_t capacity) {
    storage_.assign(capacity, 0);
    head_ = 0;
    size_ = 0;
  }

  std::size_t Capacity() const { return storage_.size(); }
  std::size_t Size() const { return size_; }
  std::size_t Free() const { return storage_.size() - size_; }
  bool Empty() const { return size_ == 0; }
  bool Full() const { return size_ == storage_.size(); }
  void Clear() {
    head_ = 0;
    size_ = 0;
  }

  // Appends one byte; false (nothing stored) when the queue is full.
  bool Push(unsigned char byte) {
    if (Full()) return false;
    storage_[(head_ + size_) % storage_.size()] = byte;
    ++size_;
    return true;
  }

  // Appends up to n bytes; the count stored.
  std::size_t Push(const unsigned char* data, std::size_t n) {
    std::size_t stored = 0;
    while (stored < n && Push(data[stored])) ++stored;
    return stored;
  }

  // Removes the oldest byte into *byte; false when the queue is empty.
  bool Pop(unsigned char* byte) {
    if (Empty()) return false;
    *byte = storage_[head_];
    Drop(1);
    return true;
  }

  // The oldest bytes that lie in one piece of storage: *n of them at the returned address.
  const unsigned char* Front(std::size_t* n) const {
    if (Empty()) {
      *n = 0;
      return nullptr;
    }
    const std::size_t toEnd = storage_.size() - head_;
    *n = size_ < toEnd ? size_ : toEnd;
    return storage_.data() + head_;
  }

  // Removes the n oldest bytes (all of them when fewer are queued).
  void Drop(std::size_t n) {
    if (n >= size_) {
      Clear();
      return;
    }
    head_ = (head_ + n) % storage_.size();
    size_ -= n;
  }

 private:
  std::vector<unsigned char> storage_;
  std::size_t head_ = 0;
  std::size_t size_ = 0;
};

}  // namespace tarnwick
