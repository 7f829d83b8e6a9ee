#pragma once

#include <cstdio>
#include <string>
#include <vector>

// A PDF of the catalog, the page tree root and the given objects (numbered from 3), with an
// exact cross-reference table.
inline std::string pdfOf(std::string_view pagesRoot, std::vector<std::string> objects) {
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

// One page of the given size, with a stream of filler bytes when a large document is wanted.
inline std::string makePdf(double width, double height, std::size_t filler = 0) {
  char page[96];
  std::snprintf(page, sizeof page, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 %g %g] >>", width,
                height);
  std::vector<std::string> objects{page};
  if (filler > 0) {
    objects.push_back("<< /Length " + std::to_string(filler) + " >>\nstream\n" +
                      std::string(filler, 'z') + "\nendstream");
  }
  return pdfOf("<< /Type /Pages /Kids [3 0 R] /Count 1 >>", objects);
}
