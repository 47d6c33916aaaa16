#pragma once
// The pictures of a run as a module: finds the plotting interpreter at initialisation and offers the run's
// Pictures to every module; at the end of the export, after every results file, it adds the graphs of the
// products, draws all pictures and writes the overview page "index.html" into the output directory (with graphics
// export on, even when no interpreter draws the pictures: the page then shows the numbers).
#include <memory>
#include <string_view>

#include "engine/Module.h"
#include "export/Pictures.h"

namespace zel {

class GraphicsModule : public Module {
public:
    std::string_view name() const override { return "Graphics"; }
    int init(const ModuleContext& context) override;
    int exportResults(const MessageTarget& to) override;

    // Null when graphics are off.
    Pictures* pictures() { return pictures_.get(); }

private:
    // The graphs of the products per time sample: the totals, and per class with classes.
    void addProductGraphs();

    const Settings* settings_ = nullptr;
    const Products* products_ = nullptr;
    RunState* run_ = nullptr;
    std::unique_ptr<Pictures> pictures_;
};

}  // namespace zel
