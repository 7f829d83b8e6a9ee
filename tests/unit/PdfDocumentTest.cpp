#define POINTERHOLDER_TRANSITION 4

#include <gtest/gtest.h>

#include <cstdio>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFWriter.hh>
#include <string>
#include <vector>

#include "printing/PdfDocument.h"

namespace {

// A PDF of the catalog, the page tree root and the given objects (numbered from 3), with an
// exact cross-reference table.
std::string pdfOf(std::string_view pagesRoot, std::vector<std::string> objects) {
  objects.insert(objects.begin(), {"<< /Type /Catalog /Pages 2 0 R >>", std::string(pagesRoot)});
  std::string pdf = "%PDF-1.4\n", xref = "0000000000 65535 f \n";
  for (std::size_t i = 0; i < objects.size(); ++i) {
    char entry[21];
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
    xref += entry;
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::string size = std::to_string(objects.size() + 1);
  return pdf + "xref\n0 " + size + "\n" + xref + "trailer\n<< /Size " + size +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(pdf.size()) + "\n%%EOF\n";
}

const std::string kLetter = pdfOf("<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                  {"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"});

std::string encrypted(const std::string& pdf, const char* userPassword) {
  QPDF source;
  source.processMemoryFile("plain", pdf.data(), pdf.size());
  QPDFWriter writer(source);
  writer.setOutputMemory();
  writer.setR6EncryptionParameters(userPassword, "owner", true, true, true, true, true, true,
                                   qpdf_r3p_full, true);
  writer.write();
  const auto buffer = writer.getBufferSharedPointer();
  return {reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize()};
}

// The size as "width x height", so that a failure shows both; "none" for a readable document
// without one.
std::string sizeOf(std::string_view pdf) {
  const PdfDocument::Reading reading = PdfDocument::read(pdf);
  if (!reading.readable) return "unreadable";
  const auto& size = reading.firstPageSize;
  return size ? std::to_string(size->width) + " x " + std::to_string(size->height) : "none";
}

TEST(PdfDocument, FirstPageMediaBoxIsFoundInheritedAndInKidsOrder) {
  const struct {
    const char* why;
    const char* pagesRoot;
    std::vector<std::string> objects;
    const char* size;
  } cases[] = {
      {"plain",
       "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       {"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>"},
       "612.000000 x 792.000000"},
      {"corners in any order, away from the origin, held in objects of their own",
       "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       {"<< /Type /Page /MediaBox 4 0 R >>", "[110 5 0 R 10 20]", "220.5"},
       "100.000000 x 200.500000"},
      {"three numbers",
       "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
       {"<< /Type /Page /MediaBox [0 0 612] >>"},
       "none"},
      {"inherited",
       "<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 595 842] >>",
       {"<< /Type /Page /Parent 2 0 R >>"},
       "595.000000 x 842.000000"},
      {"from the nearest ancestor",
       "<< /Type /Pages /Kids [3 0 R] /Count 2 /MediaBox [0 0 595 842] >>",
       {"<< /Type /Pages /Kids [4 0 R 5 0 R] /Count 2 /MediaBox [0 0 420 595] >>",
        "<< /Type /Page >>", "<< /Type /Page /MediaBox [0 0 10 10] >>"},
       "420.000000 x 595.000000"},
      // An empty branch first, then a looping one that must neither hang nor count as a page.
      {"first leaf",
       "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R 6 0 R] /Count 2 >>",
       {"<< /Type /Pages /Kids [] /Count 0 >>", "<< /Type /Pages /Kids [4 0 R 2 0 R] /Count 0 >>",
        "<< /Type /Page /MediaBox [0 0 200 300] >>", "<< /Type /Page /MediaBox [0 0 612 792] >>"},
       "200.000000 x 300.000000"},
      {"no pages", "<< /Type /Pages /Kids [] /Count 0 >>", {}, "none"},
  };
  for (const auto& c : cases) EXPECT_EQ(sizeOf(pdfOf(c.pagesRoot, c.objects)), c.size) << c.why;
}

TEST(PdfDocument, DamagedOrLockedInputIsRecoveredOrRefused) {
  // A wrong startxref offset makes qpdf rebuild the table from the objects.
  std::string badOffset = kLetter;
  const std::size_t at = badOffset.rfind("startxref\n") + 10;
  badOffset.replace(at, badOffset.find('\n', at) - at, "9");
  EXPECT_EQ(sizeOf(badOffset), "612.000000 x 792.000000");

  EXPECT_EQ(sizeOf(kLetter.substr(0, kLetter.find("/MediaBox"))), "unreadable");
  EXPECT_EQ(sizeOf(""), "unreadable");
  EXPECT_EQ(sizeOf("not a PDF at all\n"), "unreadable");

  EXPECT_EQ(sizeOf(encrypted(kLetter, "secret")), "unreadable");
  // Restrictions without a user password do not keep the document from being read.
  EXPECT_EQ(sizeOf(encrypted(kLetter, "")), "612.000000 x 792.000000");
}

}  // namespace
