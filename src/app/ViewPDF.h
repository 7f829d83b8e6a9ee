#pragma once

class PastboardController;

// Reprints the document of the last clipboard command. No control sends print yet.
class ViewPDF {
 public:
  void connectOutlets(PastboardController& pasteboardController) {
    pasteboardController_ = &pasteboardController;
  }
  void awakeFromNib() {}
  void print();

 private:
  PastboardController* pasteboardController_ = nullptr;
};
