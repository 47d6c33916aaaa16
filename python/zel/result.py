"""What a run produced, read from the engine before it is destroyed."""
import dataclasses

from . import core

# The run's products: name, getter of the total, getter of the per-sample series, getter of the per-class series,
# unit (normal, radiology). The order is that of the results list.
PRODUCTS = (
    ("CountParticle", core.getCountParticle, core.getCountParticleTime, core.getCountParticleTimeClass,
     ("cnt", "cnt")),
    ("CountRate", core.getCountRate, core.getCountRateTime, core.getCountRateTimeClass, ("s-1", "s-1")),
    ("EnergyDep", core.getEnergyDep, core.getEnergyDepTime, core.getEnergyDepTimeClass, ("keV", "keV")),
    ("Dose", core.getDose, core.getDoseTime, core.getDoseTimeClass, ("uGy", "Gy")),
    ("DoseRate", core.getDoseRate, core.getDoseRateTime, core.getDoseRateTimeClass, ("uGy/h", "Gy/s")),
    ("Fluence", core.getFluence, core.getFluenceTime, core.getFluenceTimeClass, ("cm-2", "cm-2")),
    ("Flux", core.getFlux, core.getFluxTime, core.getFluxTimeClass, ("cm-2 s-1", "cm-2 s-1")),
)
ELAPSED_TIME = "ElapsedTime"

# The variables whose 1D histograms of all clusters a result carries when the run has them, and the default pairs
# of its 2D histograms.
HISTOGRAM_VARIABLES = (
    "E", "Size", "Height", "Roundness", "AngleAzim", "Linearity", "LengthProj", "WidthProj", "BorderPixCount",
    "StdAlong", "StdPerp", "Thin", "Thick", "CurlyThin", "EpixMean", "EpixStd", "LengthCorrStd", "Length3DCorrStd",
    "AngleElev", "LET", "Diameter", "X", "Y", "PIDClass",
)
HISTOGRAM_PAIRS = (("E", "Size"),)


def column(name, unit):
    return f"{name} [{unit}]"


@dataclasses.dataclass
class Histogram1D:
    """A 1D histogram: the n + 1 edges of its n bins, their contents, and what fell below and above them."""
    edges: "numpy.ndarray"
    contents: "numpy.ndarray"
    underflow: float = 0.0
    overflow: float = 0.0


@dataclasses.dataclass
class Histogram2D:
    """A 2D histogram: the bin edges of both axes and the contents indexed [x bin, y bin]."""
    edges_x: "numpy.ndarray"
    edges_y: "numpy.ndarray"
    contents: "numpy.ndarray"


# The engine hands out a histogram as slots: underflow, the bins, overflow, each with its low edge (the underflow
# slot's is the first bin's). Dropping that first entry leaves the bins' edges.
def histogram_1d(rows):
    """From the engine's two rows of slots: low edges and contents."""
    slot_edges, slots = rows
    return Histogram1D(slot_edges[1:], slots[1:-1], float(slots[0]), float(slots[-1]))


def histogram_2d(rows):
    """From the engine's three rows: the slot edges of both axes and the contents, stored y row by y row between
    an underflow and an overflow slot."""
    slot_edges_x, slot_edges_y, slots = rows
    nx, ny = len(slot_edges_x) - 2, len(slot_edges_y) - 2
    return Histogram2D(slot_edges_x[1:], slot_edges_y[1:], slots[1:-1].reshape(ny, nx).T)


@dataclasses.dataclass
class RunResult:
    """The products of one run.

    totals: run totals by product name (and "LiveTime" in s, "CountSample"); units: the unit of each total;
    samples: one row per closed time sample, columns with their units ("DoseRate [uGy/h]");
    classes: per particle class (and "Others") a table like `samples`, empty without classes;
    histograms: 1D histograms of all clusters by variable; histograms_2d: by variable pair;
    output_path: the results directory; files: the files the run wrote; log_path: its log, or None.
    """
    totals: dict
    units: dict
    samples: "pandas.DataFrame"
    classes: dict
    histograms: dict
    histograms_2d: dict
    output_path: str
    files: list
    log_path: str = None


def read_products(radiology, histogram_pairs=HISTOGRAM_PAIRS):
    """Everything but the paths, read through the getters of the open engine."""
    import pandas

    unit_index = 1 if radiology else 0
    units = {name: unit[unit_index] for name, _, _, _, unit in PRODUCTS}
    totals = {name: total() for name, total, _, _, _ in PRODUCTS}
    elapsed = core.getElapsedTimes()
    totals["LiveTime"] = live_time(totals, elapsed)
    totals["CountSample"] = len(elapsed)
    units.update(LiveTime="s", CountSample="cnt")

    samples = {column(ELAPSED_TIME, "s"): elapsed}
    samples.update({column(name, units[name]): series() for name, _, series, _, _ in PRODUCTS})
    return RunResult(
        totals=totals, units=units, samples=pandas.DataFrame(samples), classes=read_classes(elapsed, units),
        histograms=read_histograms_1d(), histograms_2d=read_histograms_2d(histogram_pairs), output_path="",
        files=[])


def live_time(totals, elapsed):
    """The live time behind the run's rates: counts over count rate, or the end of the last sample."""
    if totals["CountRate"] > 0:
        return totals["CountParticle"] / totals["CountRate"]
    return float(elapsed[-1]) if len(elapsed) else 0.0


def read_classes(elapsed, units):
    """Per class a table of its products per sample; the engine's last class row is "Others"."""
    import pandas

    names = list(core.getPIDClassNames())
    series = {product: per_class() for product, _, _, per_class, _ in PRODUCTS}
    if not names or any(len(rows) == 0 for rows in series.values()):
        return {}
    rows_per_product = len(series[PRODUCTS[0][0]])
    labels = names + ["Others"] if rows_per_product == len(names) + 1 else names[:rows_per_product]
    return {
        label: pandas.DataFrame({column(ELAPSED_TIME, "s"): elapsed,
                                 **{column(product, units[product]): rows[index] for product, rows in series.items()}})
        for index, label in enumerate(labels)
    }


def read_histograms_1d():
    found = {}
    for variable in HISTOGRAM_VARIABLES:
        rows = core.getHist1DAll(variable)
        if len(rows) == 2 and len(rows[1]) >= 2:
            found[variable] = histogram_1d(rows)
    return found


def read_histograms_2d(pairs):
    found = {}
    for pair in pairs:
        rows = core.getHist2DAll(list(pair))
        if len(rows) == 3 and len(rows[2]) == (len(rows[0]) - 2) * (len(rows[1]) - 2) + 2:
            found[tuple(pair)] = histogram_2d(rows)
    return found
