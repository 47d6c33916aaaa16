#pragma once
// The overview page of a run: "index.html" in the output directory, a static page that needs no server and no
// network, with the run's key numbers (counts, dose, dose rate, flux, per class when classes exist) and every
// picture drawn, grouped by the directory of its analysis.
#include <string>
#include <vector>

#include "export/Pictures.h"

namespace zel {

class Products;

struct OverviewFacts {
    std::string outputDirectory;
    std::vector<std::string> classNames;  // empty without classes
    std::string masterScript;             // set when the pictures are left for the user to draw
};

// The page's text; only pictures whose image exists are shown.
std::string overviewPage(const OverviewFacts& facts, const Products& products,
                         const std::vector<PictureRecord>& pictures);
// Writes the page; false when it cannot be written.
bool writeOverviewPage(const OverviewFacts& facts, const Products& products,
                       const std::vector<PictureRecord>& pictures);

}  // namespace zel
