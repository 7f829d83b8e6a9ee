#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Builds small, valid PDFs with a correct cross-reference table: one page of the given size,
// optionally carrying a stream of filler bytes so that a document can be made large.
inline std::string makePdf(double width, double height, std::size_t filler = 0) {
  std::vector<std::string> objects;
  char box[128];
  std::snprintf(box, sizeof box, "[0 0 %g %g]", width, height);
  objects.push_back("<< /Type /Catalog /Pages 2 0 R >>");
  objects.push_back("<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
  objects.push_back(std::string("<< /Type /Page /Parent 2 0 R /MediaBox ") + box +
                    " /Contents 4 0 R >>");
  const std::string content = "BT /F1 12 Tf 20 20 Td (Zelbrin) Tj ET";
  objects.push_back("<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content +
                    "\nendstream");
  if (filler > 0) {
    objects.push_back("<< /Length " + std::to_string(filler) + " >>\nstream\n" +
                      std::string(filler, 'z') + "\nendstream");
  }
  std::string pdf = "%PDF-1.4\n";
  std::vector<std::size_t> offsets;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    offsets.push_back(pdf.size());
    pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const std::size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  for (const std::size_t offset : offsets) {
    char line[32];
    std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
    pdf += line;
  }
  pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) +
         " /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}
