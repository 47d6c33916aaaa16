#include "export/GraphicsScripts.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "common/NumberText.h"

namespace zel {
namespace {

// Length of the valid UTF-8 sequence starting at text[i], or 0 when the byte starts none.
size_t utf8Length(std::string_view text, size_t i) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4;
    else
        return 0;
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k)
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and code points beyond U+10FFFF.
    if (lead == 0xE0 && byte(i + 1) < 0xA0) return 0;
    if (lead == 0xED && byte(i + 1) > 0x9F) return 0;
    if (lead == 0xF0 && byte(i + 1) < 0x90) return 0;
    if (lead == 0xF4 && byte(i + 1) > 0x8F) return 0;
    return length;
}

void appendHex(std::string& out, unsigned char c) {
    static constexpr char kDigits[] = "0123456789abcdef";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

bool finite(double v) { return std::isfinite(v); }

// Largest finite value of a list, or `fallback` when there is none.
double maximumOf(const std::vector<double>& values, double fallback) {
    double best = -std::numeric_limits<double>::infinity();
    for (double v : values)
        if (finite(v)) best = std::max(best, v);
    return std::isfinite(best) ? best : fallback;
}

// Smallest positive finite value, or 0 when there is none.
double smallestPositive(const std::vector<double>& values) {
    double best = 0;
    for (double v : values)
        if (finite(v) && v > 0 && (best == 0 || v < best)) best = v;
    return best;
}

std::string quoted(std::string_view text) { return "'" + pythonLabel(text) + "'"; }
std::string quotedPath(std::string_view text) { return "'" + pythonText(text) + "'"; }

void appendList(std::string& out, std::string_view name, const std::vector<double>& values, bool fixed,
                std::string_view tail) {
    out += name;
    out += " = [";
    for (size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ", ";
        out += fixed ? pythonFixed(values[i]) : pythonNumber(values[i]);
    }
    out += tail;
}

// "v_BinCont = [c1, c2, 0]": the contents and a zero for the upper edge, which the edge list also holds as a point.
void appendBins(std::string& out, const PlotBins& bins) {
    out += "v_BinCont = [";
    for (double c : bins.contents) out += pythonFixed(c) + ", ";
    out += "0]\n";
    appendList(out, "v_BinLowEdge", bins.edges, false, "]\n");
}

const char* kHeader =
    "import matplotlib\n"
    "matplotlib.use('Agg')\n"
    "import matplotlib.pyplot as plt\n"
    "import numpy as np\n"
    "import math\n";

const char* kGrid = "grid(visible = True, color ='grey', linestyle ='-.', linewidth = 0.4, alpha = 0.5)\n";
const char* kMinorGrid =
    "grid(visible = True, which='minor', color ='grey', linestyle ='-.', linewidth = 0.3, alpha = 0.4)\n";

// Limits of the count axis: from zero (half the smallest count on a logarithmic axis) to above the highest bin,
// leaving room for the statistics box.
struct CountRange {
    double low;
    double high;
};
CountRange countRange(const std::vector<double>& contents, bool log) {
    const double top = maximumOf(contents, 1.0);
    if (log) {
        const double low = smallestPositive(contents);
        const double floor = low > 0 ? std::min(0.5, low * 0.5) : 0.5;
        return {floor, std::max(top, floor * 2) * 8.0};
    }
    return {std::min(0.0, top), top > 0 ? top * 1.3 : 1.0};
}

// True when a logarithmic count axis can show something: a positive count.
bool logUsable(const std::vector<double>& contents) { return smallestPositive(contents) > 0; }

void appendSaveAndClose(std::string& out, const std::string& imagePath) {
    out += "plt.savefig(" + quotedPath(imagePath) + ", dpi=200)\n";
    out += "plt.close() \n";
}

// Axis limits need no exact text.
std::string limit(double v) { return formatG(std::isfinite(v) ? v : 0.0); }

std::string statText(double v) { return pythonText(formatG(finite(v) ? v : 0.0)); }

}  // namespace

namespace {

std::string escaped(std::string_view text, bool label) {
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = utf8Length(text, i);
            if (length == 0) {
                appendHex(out, c);
                ++i;
            } else {
                out.append(text.substr(i, length));
                i += length;
            }
            continue;
        }
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\'':
                out += "\\'";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '$':
                out += label ? "\\\\$" : "$";
                break;  // in a label a plain dollar sign, not a formula
            default:
                if (c < 0x20 || c == 0x7F)
                    appendHex(out, c);
                else
                    out += static_cast<char>(c);
        }
        ++i;
    }
    return out;
}

}  // namespace

std::string pythonText(std::string_view text) { return escaped(text, false); }
std::string pythonLabel(std::string_view text) { return escaped(text, true); }

std::string pythonFixed(double value) { return formatFixed(finite(value) ? value : 0.0, 6); }

std::string pythonNumber(double value) {
    char buffer[kNumberChars];
    char* end = writeRoundTrip(buffer, finite(value) ? value : 0.0);
    return std::string(buffer, end);
}

std::string hist1DScript(const PlotHist1D& plot, const std::string& imagePath) {
    const PlotBins& bins = plot.bins;
    const bool logY = plot.logY && logUsable(bins.contents);
    const double xmin = bins.edges.empty() ? 0 : bins.edges.front();
    const double xmax = bins.edges.empty() ? 1 : bins.edges.back();
    std::string out = kHeader;
    appendBins(out, bins);
    const std::string xlim = "xmin=" + pythonNumber(xmin) + ", xmax = " + pythonNumber(xmax) + ")\n";
    std::string axes = "ax";
    if (plot.logX) {
        const CountRange linear = countRange(bins.contents, false);
        const CountRange log = countRange(bins.contents, true);
        out += "fig, axs = plt.subplots(2, 1, sharex=True)\n";
        out += "fig.subplots_adjust(hspace=0)\n";
        out += "fig.suptitle(\"" + pythonLabel(plot.labels.title) + "\")\n";
        out += "fig.supxlabel(\"" + pythonLabel(plot.labels.xLabel) + "\")\n";
        out += "fig.supylabel(\"" + pythonLabel(plot.labels.yLabel) + "\")\n";
        out += "axs[0].hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont)\n";
        out += "axs[0].set_xscale('log')\n";
        out += std::string("axs[0].") + kGrid;
        out += std::string("axs[0].") + kMinorGrid;
        out += "axs[0].set_ylim(ymin=" + limit(linear.low) + ", ymax = " + limit(linear.high) + ")\n";
        out += "axs[1].hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, log=True)\n";
        out += "axs[1].set_xscale('log')\n";
        out += "axs[1].set_yscale(\"symlog\")\n";
        out += std::string("axs[1].") + kGrid;
        out += std::string("axs[1].") + kMinorGrid;
        out += "axs[1].set_ylim(ymin=0, ymax = " + limit(log.high) + ")\n";
        out += "axs[1].set_xlim(" + xlim;
        axes = "axs[0]";
    } else {
        const CountRange range = countRange(bins.contents, logY);
        out += "fig = plt.figure()\n";
        out += "ax = fig.add_subplot()\n";
        out +=
            std::string("plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont") + (logY ? ", log=True" : "") + ")\n";
        out += "plt.xlabel(" + quoted(plot.labels.xLabel) + ")\n";
        out += "plt.ylabel(" + quoted(plot.labels.yLabel) + ")\n";
        out += "plt.title(" + quoted(plot.labels.title) + ")\n";
        out += std::string("plt.") + kGrid;
        out += "plt.xlim(" + xlim;
        out += "plt.ylim(ymin=" + limit(range.low) + ", ymax = " + limit(range.high) + ")\n";
    }
    if (plot.statistics) {
        out += "props = dict(boxstyle='round', facecolor='white', alpha=0.5)\n";
        // In the upper of two panels the box sits lower, so that it stays inside the panel.
        out += axes + ".text(0.69, " + std::string(plot.logX ? "0.4" : "0.72") + ", '$\\mu=" + statText(plot.mean) +
               "$' + '\\n' + '$\\sigma=" + statText(plot.std) + "$' + '\\n' + '$\\sum=" + statText(plot.sum) +
               "$' '\\n' + 'x$(y_{max})=" + statText(plot.xAtMax) + "$', alpha=0.5, bbox=props, transform=" + axes +
               ".transAxes)\n";
    }
    if (plot.gaussian) {
        out += "Mu=" + pythonNumber(plot.gaussMean) + "\n";
        out += "Std=" + pythonNumber(plot.gaussStd) + "\n";
        out += "Const=" + pythonNumber(plot.gaussConst) + "\n";
        out += "BinWidth=" + pythonNumber(plot.binWidth) + "\n";
        out += "FitGaussY = []\n";
        out += "for x in v_BinLowEdge:\n";
        out +=
            "\tFitGaussY.append( BinWidth*Const*(1/(math.sqrt(2*math.pi*Std*Std)))*math.exp( -pow(x - Mu,2)/"
            "(2*Std*Std) ))\n";
        out += "plt.plot(v_BinLowEdge,FitGaussY, 'r--')\n";
    }
    appendSaveAndClose(out, imagePath);
    return out;
}

std::string multiHist1DScript(const PlotMultiHist1D& plot, const std::string& imagePath) {
    std::vector<double> allContents;
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -xmin;
    for (const PlotBins& curve : plot.curves) {
        allContents.insert(allContents.end(), curve.contents.begin(), curve.contents.end());
        if (!curve.edges.empty()) {
            xmin = std::min(xmin, curve.edges.front());
            xmax = std::max(xmax, curve.edges.back());
        }
    }
    if (!(xmin < xmax)) xmin = 0, xmax = 1;
    const bool logY = plot.logY && logUsable(allContents);
    const CountRange range = countRange(allContents, logY);
    const bool manyCurves = plot.curves.size() > 4;
    std::string out = kHeader;
    out += "fig = plt.figure()\n";
    out += "ax = fig.add_subplot()\n";
    for (size_t i = 0; i < plot.curves.size(); ++i) {
        appendBins(out, plot.curves[i]);
        const std::string label = i < plot.curveLabels.size() ? plot.curveLabels[i] : "";
        const std::string_view colour = kHistColours[i % std::size(kHistColours)];
        out += "plt.hist(v_BinLowEdge, v_BinLowEdge, weights=v_BinCont, label = \"" + pythonLabel(label) +
               "\", color =  \"" + std::string(colour) + "\", histtype='step', linewidth=1.6, alpha = 0.8" +
               (logY ? ", log=True" : "") + ")\n";
    }
    if (plot.logX) out += "plt.xscale('log')\n";
    if (manyCurves) {
        out += "plt.legend(bbox_to_anchor=(1.04, 0.5), loc=\"center left\", borderaxespad=0, frameon=False)\n";
        out += "plt.subplots_adjust(right=0.65)\n";
        out += "fig.set_size_inches(14.5, 8.5)\n";
    } else {
        out += "plt.legend()\n";
    }
    out += "plt.xlabel(" + quoted(plot.labels.xLabel) + ")\n";
    out += "plt.ylabel(" + quoted(plot.labels.yLabel) + ")\n";
    out += "plt.title(" + quoted(plot.labels.title) + ")\n";
    out += std::string("plt.") + kGrid;
    out += "plt.xlim(xmin=" + pythonNumber(xmin) + ", xmax = " + pythonNumber(xmax) + ")\n";
    out += "plt.ylim(ymin=" + limit(range.low) + ", ymax = " + limit(range.high) + ")\n";
    appendSaveAndClose(out, imagePath);
    return out;
}

std::string graphScript(const PlotGraph& plot, const std::string& imagePath) {
    std::string out = kHeader;
    const size_t curves = std::min(plot.x.size(), plot.y.size());
    const bool several = curves > 1 || !plot.curveLabels.empty();
    if (!several) {
        appendList(out, "v_X", curves ? plot.x[0] : std::vector<double>{}, false, "]\n");
        appendList(out, "v_Y", curves ? plot.y[0] : std::vector<double>{}, false, "]\n");
    }
    out += "fig = plt.figure()\n";
    out += "ax = fig.add_subplot()\n";
    double xmin = std::numeric_limits<double>::infinity();
    double xmax = -xmin;
    if (several) {
        for (size_t i = 0; i < curves; ++i) {
            appendList(out, "v_X", plot.x[i], false, "]\n");
            appendList(out, "v_Y", plot.y[i], false, "]\n");
            for (double v : plot.x[i])
                if (finite(v)) xmin = std::min(xmin, v), xmax = std::max(xmax, v);
            const std::string label = i < plot.curveLabels.size() ? plot.curveLabels[i] : "";
            out += "plt.plot(v_X, v_Y, marker='o', markersize=3, linewidth=1.2, label = \"" + pythonLabel(label) +
                   "\", color = \"" + std::string(kGraphColours[i % std::size(kGraphColours)]) + "\")\n";
        }
    } else {
        out += "plt.plot(v_X, v_Y, marker='o', markersize=3, linewidth=1.2, color = \"dodgerblue\")\n";
    }
    out += "plt.gcf().autofmt_xdate()\n";
    out += "plt.xlabel(" + quoted(plot.labels.xLabel) + ")\n";
    out += "plt.ylabel(" + quoted(plot.labels.yLabel) + ")\n";
    out += "plt.title(" + quoted(plot.labels.title) + ")\n";
    out += std::string("plt.") + kGrid;
    if (several) {
        if (xmin < xmax) out += "plt.xlim(xmin=" + pythonNumber(xmin) + ", xmax = " + pythonNumber(xmax) + ")\n";
        out += "plt.legend(bbox_to_anchor=(1.04, 0.5), loc=\"center left\", borderaxespad=0, frameon=False)\n";
        out += "plt.subplots_adjust(right=0.65)\n";
        out += "fig = plt.gcf()\n";
        out += "fig.set_size_inches(14.5, 8.5)\n";
    } else if (plot.statistics && curves == 1 && !plot.y[0].empty()) {
        double sum = 0, sumSq = 0, low = std::numeric_limits<double>::infinity(), high = -low;
        double n = 0;
        for (double v : plot.y[0]) {
            if (!finite(v)) continue;
            sum += v, sumSq += v * v, n += 1;
            low = std::min(low, v), high = std::max(high, v);
        }
        const double mean = n > 0 ? sum / n : 0;
        const double std = n > 0 ? std::sqrt(std::max(0.0, sumSq / n - mean * mean)) : 0;
        out += "props = dict(boxstyle='round', facecolor='white', alpha=0.5)\n";
        out += "ax.text(0.69, 0.76, '$\\mu=" + statText(mean) + "$' + '\\n' + '$\\sigma=" + statText(std) +
               "$' + '\\n' + '$min=" + statText(n > 0 ? low : 0) + "$' '\\n' + '$max=" + statText(n > 0 ? high : 0) +
               "$', alpha=0.5, bbox=props, transform=ax.transAxes)\n";
    }
    appendSaveAndClose(out, imagePath);
    return out;
}

std::string hist2DScript(const PlotHist2D& plot, const std::string& imagePath) {
    const size_t nx = plot.edgesX.size() > 1 ? plot.edgesX.size() - 1 : 0;
    const size_t ny = plot.edgesY.size() > 1 ? plot.edgesY.size() - 1 : 0;
    // Only the bins that hold something are listed: the others stay blank below the colour minimum.
    std::vector<double> cont, xs, ys;
    double sum = 0, sx = 0, sxx = 0, sy = 0, syy = 0, sv = 0, svv = 0;
    double vmin = std::numeric_limits<double>::infinity(), vmax = -vmin;
    size_t filled = 0, fxlo = nx, fxhi = 0, fylo = ny, fyhi = 0;
    for (size_t iy = 0; iy < ny; ++iy) {
        for (size_t ix = 0; ix < nx; ++ix) {
            const size_t flat = iy * nx + ix;
            const double v = flat < plot.contents.size() ? plot.contents[flat] : 0;
            if (!finite(v) || v == 0) continue;
            cont.push_back(v), xs.push_back(plot.edgesX[ix]), ys.push_back(plot.edgesY[iy]);
            const double cx = 0.5 * (plot.edgesX[ix] + plot.edgesX[ix + 1]);
            const double cy = 0.5 * (plot.edgesY[iy] + plot.edgesY[iy + 1]);
            sum += v, sx += v * cx, sxx += v * cx * cx, sy += v * cy, syy += v * cy * cy;
            sv += v, svv += v * v, ++filled;
            vmin = std::min(vmin, v), vmax = std::max(vmax, v);
            fxlo = std::min(fxlo, ix), fxhi = std::max(fxhi, ix), fylo = std::min(fylo, iy), fyhi = std::max(fyhi, iy);
        }
    }
    const bool positive = filled > 0 && vmin > 0;
    const bool logZ = plot.logZ && positive;
    const double xmin0 = nx ? plot.edgesX.front() : 0, xmax0 = nx ? plot.edgesX.back() : 1;
    const double ymin0 = ny ? plot.edgesY.front() : 0, ymax0 = ny ? plot.edgesY.back() : 1;
    cont.push_back(0), xs.push_back(xmin0), ys.push_back(ymin0);

    // Shown range: the whole matrix for maps, else the filled bins with a margin of a tenth of their span.
    double xlo = xmin0, xhi = xmax0, ylo = ymin0, yhi = ymax0;
    if (!plot.square && filled > 0) {
        auto around = [](double lo, double hi, double limitLo, double limitHi, bool log, double& outLo, double& outHi) {
            if (log && lo > 0) {
                outLo = std::max(limitLo, lo / 1.5), outHi = std::min(limitHi, hi * 1.5);
                return;
            }
            const double margin = 0.1 * (hi - lo);
            outLo = std::max(limitLo, lo - margin), outHi = std::min(limitHi, hi + margin);
        };
        around(plot.edgesX[fxlo], plot.edgesX[fxhi + 1], xmin0, xmax0, plot.logX, xlo, xhi);
        around(plot.edgesY[fylo], plot.edgesY[fyhi + 1], ymin0, ymax0, plot.logY, ylo, yhi);
    }
    const double meanX = sum != 0 ? sx / sum : 0, meanY = sum != 0 ? sy / sum : 0;
    const double stdX = sum != 0 ? std::sqrt(std::max(0.0, sxx / sum - meanX * meanX)) : 0;
    const double stdY = sum != 0 ? std::sqrt(std::max(0.0, syy / sum - meanY * meanY)) : 0;
    const double meanV = filled ? sv / static_cast<double>(filled) : 0;
    const double stdV = filled ? std::sqrt(std::max(0.0, svv / static_cast<double>(filled) - meanV * meanV)) : 0;

    std::string out = kHeader;
    out += "import matplotlib.colors as mcolors\n";
    out += "fig, ax = plt.subplots()\n";
    if (plot.square) out += "plt.axis('square')\n";
    out += "v_BinCont = [";
    for (double v : cont) out += pythonFixed(v) + ",";
    out += "]\n";
    appendList(out, "v_BinLowEdgeX", xs, false, "]\n");
    appendList(out, "v_BinLowEdgeY", ys, false, "]\n");
    appendList(out, "NBinX", plot.edgesX, false, "]\n");
    appendList(out, "NBinY", plot.edgesY, false, "]\n");
    out += "plt.hist2d(v_BinLowEdgeX, v_BinLowEdgeY, bins=[NBinX, NBinY], weights=v_BinCont";
    if (positive) out += ",cmin = " + pythonNumber(vmin * 0.5);
    if (logZ) out += " ,  norm=mcolors.LogNorm()";
    out += ")\n";
    if (plot.logX) out += "plt.xscale('log')\n";
    if (plot.logY) out += "plt.yscale('log')\n";
    out += "plt.xlim(xmin=" + limit(xlo) + ", xmax = " + limit(xhi) + ")\n";
    out += "plt.ylim(ymin=" + limit(ylo) + ", ymax = " + limit(yhi) + ")\n";
    out += "cbar = plt.colorbar(shrink=0.9)\n";
    out += "plt.xlabel(" + quoted(plot.labels.xLabel) + ")\n";
    out += "plt.ylabel(" + quoted(plot.labels.yLabel) + ")\n";
    out += "cbar.set_label(" + quoted(plot.zLabel) + ")\n";
    // Left-aligned, a long title runs on over the colour bar instead of off the picture.
    out += "plt.title(" + quoted(plot.labels.title) + ", loc='left')\n";
    if (plot.statistics) {
        out += "plt.text(1.4, 0.5, 'Mean X = " + statText(meanX) + "\\nStd X = " + statText(stdX) +
               "\\nMean Y = " + statText(meanY) + "\\nStd Y = " + statText(stdY) +
               "\\nMean value = " + statText(meanV) + "\\nStd value = " + statText(stdV) +
               "\\nMaximum value = " + statText(filled ? vmax : 0) +
               "\\nMinimum value = " + statText(filled ? vmin : 0) +
               "', transform=ax.transAxes, verticalalignment='center')\n";
    }
    out += "plt.subplots_adjust(right=0.65)\n";
    out += "fig = plt.gcf()\n";
    out += "fig.set_size_inches(7.5, 4.4)\n";
    appendSaveAndClose(out, imagePath);
    return out;
}

std::string directionMapScript(const PlotDirectionMap& plot, const std::vector<std::string>& imagePaths) {
    const size_t nx = plot.edgesX.size() > 1 ? plot.edgesX.size() - 1 : 0;
    const size_t ny = plot.edgesY.size() > 1 ? plot.edgesY.size() - 1 : 0;
    std::vector<double> cont, xs, ys;
    double maximum = 0;
    for (size_t iy = 0; iy < ny; ++iy)
        for (size_t ix = 0; ix < nx; ++ix) {
            const size_t flat = iy * nx + ix;
            const double v = flat < plot.contents.size() && finite(plot.contents[flat]) ? plot.contents[flat] : 0.0;
            cont.push_back(v), xs.push_back(plot.edgesX[ix]), ys.push_back(plot.edgesY[iy]);
            maximum = std::max(maximum, v);
        }
    const bool logZ = plot.logZ && maximum > 0;
    std::string out =
        "import numpy as np\n"
        "import matplotlib\n"
        "matplotlib.use('Agg')\n"
        "import matplotlib.pyplot as plt\n"
        "import matplotlib.colors as mcolors\n"
        "import os\n"
        "from matplotlib import cm\n"
        "import copy\n";
    appendList(out, "v_BinCont", cont, true, "]\n");
    appendList(out, "v_BinLowEdgeX", xs, false, "]\n");
    appendList(out, "v_BinLowEdgeY", ys, false, "]\n");
    appendList(out, "NBinX", plot.edgesX, false, "]\n");
    appendList(out, "NBinY", plot.edgesY, false, "]\n");
    out +=
        "hist, x_edges, y_edges = np.histogram2d(v_BinLowEdgeX, v_BinLowEdgeY, bins=(NBinX, NBinY), "
        "weights=v_BinCont)\n";
    out += "hist = hist.T\n";
    out += "fig = plt.figure()\n";
    out += "fig.set_size_inches(13, 9)\n";
    out += "ax = fig.add_subplot(projection='3d')\n";
    // The hemisphere's grid runs along the bin edges, so that each face is one bin: azimuth -90 ... 90 degrees
    // from x = -1 to x = 1, elevation from the pole (0) to the rim (90).
    out += "u, v = np.meshgrid(np.linspace(np.pi, 0, len(NBinX)), np.radians(NBinY), indexing='ij')\n";
    out += "x = np.cos(u)*np.sin(v)\n";
    out += "y = np.sin(u)*np.sin(v)\n";
    out += "z = np.cos(v)\n";
    out += "ax.set_box_aspect([2,1,1])\n";
    if (logZ) {
        out += "new_normalized_hist = np.where(hist!=0, hist, 0.9)\n";
        out += "norm = matplotlib.colors.LogNorm()\n";
    } else {
        out += "new_normalized_hist = hist\n";
        out += "norm = matplotlib.colors.Normalize(vmin=0, vmax=" + limit(maximum > 0 ? maximum : 1.0) + ")\n";
    }
    out += "my_cmap = copy.copy(matplotlib.colormaps['viridis'])\n";
    out += "ax.set_xlabel('Azimuth angle ' + r'$\\alpha$ [deg]')\n";
    out += "ax.set_zlabel('Elevation angle ' + r'$\\beta$ [deg]')\n";
    out +=
        "ax.set_xticks([0.98, 0.8, 0.6, 0.4, 0.2, 0, -0.2, -0.4, -0.6, -0.8, -1], labels = ['90', '60', '45', "
        "'30', '15', '0', '-15', '-30', '-45', '-60', '-90'])\n";
    out += "ax.set_yticks([0.98, 0.8, 0.6, 0.4, 0.2 ,0.0], labels = ['0', '30', '45', '60', '75', '90'])\n";
    out += "ax.set_zticks([0.95, 0.8, 0.6, 0.4, 0.23 ,0.09], labels = ['0', '30', '45', '60', '75', '90'])\n";
    out += "m = plt.cm.ScalarMappable(norm=norm,cmap=cm.viridis)\n";
    out += "m.set_array(new_normalized_hist)\n";
    out += "cbar = plt.colorbar(m, ax=ax, panchor=(0.8, 0.5))\n";
    out += "cbar.ax.set_ylabel('Particle count [-]', rotation=270, fontsize='medium', labelpad=15)\n";
    out += "cbar.ax.yaxis.set_major_formatter(matplotlib.ticker.FormatStrFormatter('%0.0e'))\n";
    out += "new_normalized_hist = new_normalized_hist.T\n";
    out +=
        "ax.plot_surface(x, y, z, rstride=1, cstride=1, facecolors=plt.cm.viridis(norm(new_normalized_hist)), "
        "cmap=my_cmap)\n";
    const int azimuths[] = {50, 90, 130};
    for (size_t i = 0; i < imagePaths.size() && i < std::size(azimuths); ++i) {
        out += "ax.view_init(elev=40, azim=" + std::to_string(azimuths[i]) + ")\n";
        out += "plt.savefig(" + quotedPath(imagePaths[i]) + ", dpi=200)\n";
    }
    out += "plt.close()\n";
    return out;
}

std::string driverScript(const std::vector<std::string>& scripts) {
    const std::string n = std::to_string(scripts.size());
    // The plotting modules are loaded once here, and the fonts and the formula parser by drawing one text: the
    // processes that the driver forks inherit them. The pictures are saved, never shown, so the redraw that pyplot
    // asks for after saving is skipped (it doubles the time of a picture), and the collector leaves the inherited
    // objects alone, so that the forked processes copy fewer pages.
    std::string out = "import multiprocessing\n";
    out += "import gc\n";
    out += "import matplotlib\n";
    out += "matplotlib.use('Agg')\n";
    out += "import matplotlib.pyplot as plt\n";
    out += "import numpy as np\n";
    out += "matplotlib.backend_bases.FigureCanvasBase.draw_idle = lambda self, *args, **kwargs: None\n";
    out += "fig = plt.figure()\n";
    out += "fig.text(0.5, 0.5, r'$\\mu=1$')\n";
    out += "fig.canvas.draw()\n";
    out += "plt.close(fig)\n";
    out += "gc.freeze()\n";
    for (size_t i = 0; i < scripts.size(); ++i) {
        out += "def func_" + std::to_string(i) + "():\n";
        std::string_view rest = scripts[i];
        bool any = false;
        while (!rest.empty()) {
            const size_t end = rest.find('\n');
            const std::string_view line = rest.substr(0, end);
            out += '\t';
            out += line;
            out += '\n';
            any = true;
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        }
        if (!any) out += "\tpass\n";
    }
    out += "def main():\n\n";
    out += "\tptr_func = [";
    for (size_t i = 0; i < scripts.size(); ++i) out += (i ? "," : "") + std::string("func_") + std::to_string(i);
    out += "]\n\n";
    out += "\ti = 0\n";
    out += "\tfor j in range(0, int(" + n + "/(multiprocessing.cpu_count()*2))+1):\n";
    out += "\t\tprocesses = []\n";
    out += "\t\tif i == " + n + ": break\n";
    out += "\t\tfor n in range(0, multiprocessing.cpu_count()*2):\n";
    out += "\t\t\tprocess = multiprocessing.Process(target=ptr_func[i])\n";
    out += "\t\t\tprocesses.append(process)\n";
    out += "\t\t\tprocess.start()\n";
    out += "\t\t\ti += 1\n";
    out += "\t\t\tif i == " + n + ": break\n";
    out += "\t\tfor process in processes:\n";
    out += "\t\t\tprocess.join()\n\n";
    out += "if __name__ == \"__main__\":\n";
    out += "\tmain()\n";
    return out;
}

std::string masterScript(const std::vector<std::string>& scriptNames) {
    std::string out =
        "import matplotlib.pyplot as plt\n"
        "import numpy as np\n"
        "import matplotlib.colors as mcolors\n"
        "import math\n"
        "import multiprocessing\n"
        "import os\n"
        "import subprocess\n"
        "import sys\n"
        // The scripts are named relative to the output directory, wherever the user starts this one from, and
        // run by the interpreter that runs this one.
        "os.chdir(os.path.dirname(os.path.abspath(__file__)))\n"
        "print(\"Creating graphics\")\n";
    for (const std::string& name : scriptNames) {
        const std::string path = "./.temp/" + pythonText(name);
        out += "print(\"Processing file:\", \"" + path + "\")\n";
        out += "rc = subprocess.run([sys.executable, \"" + path +
               "\"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)\n";
    }
    return out;
}

std::string checkScript(const std::vector<std::string>& modules, const std::string& okFile) {
    std::string out;
    for (const std::string& module : modules) out += "import " + module + "\n";
    out += "import os\n";
    out += "import sys\n";
    out += "file_out_test = open( \"" + pythonText(okFile) + "\" , 'w')\n";
    out += "file_out_test.close()\n";
    return out;
}

}  // namespace zel
