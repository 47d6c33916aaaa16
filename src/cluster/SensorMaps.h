#pragma once
// Sensor maps: images of the sensor that add a pixel quantity (energy, ToT or a count) over the clusters of a
// file run. During the run each cluster of a batch is noted (skipped or not, its class and size); after the input
// has ended one streaming pass over the cluster log pairs its cluster lines with those notes and fills the
// integrated map, the partial map of the first clusters, one map per class, the individual cluster images and
// the frame images of the maximal-occupancy frame and of frames spread evenly over the run, and the images of the
// coincidence groups that the coincidence analysis chose (RunState::groupPictures).
#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/FrameImage.h"
#include "engine/Module.h"
#include "hist/Hist2D.h"

namespace zel {

class SensorMaps : public Module {
public:
    static constexpr int kNoPidInit = -1008;
    // The cluster log and the processed clusters differ in number (reported; the maps are filled as far as they
    // pair).
    static constexpr int kLogMismatch = -4030;
    // Frame images spread over the run besides the maximal-occupancy one.
    static constexpr int kSpreadFrameImages = 20;

    std::string_view name() const override { return "SensMatrix"; }
    int init(const ModuleContext& context) override;
    int processBatch(ClusterBatch& batch) override;
    int finishInput() override;
    int exportResults(const MessageTarget& to) override;

    // The maps and images, for the exported functions and the tests.
    const Hist2D* integrated() const { return integrated_.get(); }
    const Hist2D* partial() const { return partial_.get(); }
    const std::vector<Hist2D>& classMaps() const { return classMaps_; }
    const std::vector<Hist2D>& clusterImages() const { return clusterImages_; }
    const std::vector<FrameImage>& frameImages() const { return frameImages_; }
    const std::vector<Hist2D>& groupImages() const { return groupImages_; }
    const std::string& quantity() const { return quantity_; }
    const std::string& quantityUnit() const { return unit_; }
    int partialClusters() const { return partialCount_; }

    // The pass over one cluster log, paired with the clusters noted so far from `first` on; returns the number of
    // cluster lines read. Public for the tests, which hand it a text log.
    size_t fillFromLog(std::istream& log, size_t first);

    // Noted per cluster of the run, in the order of the event list: the class + 1 (0 without classes), or kSkipped.
    static constexpr uint8_t kSkipped = 0xff;
    void noteCluster(uint8_t tag, uint32_t size);

private:
    struct Pixel {
        double x, y, value;
    };
    bool pairsWithLog() const;
    void createMaps();
    Hist2D makeMap(const std::string& name, const std::string& title) const;
    void addToGroupImages(const std::vector<Pixel>& pixels, size_t index);
    void fillCluster(const std::vector<Pixel>& pixels, size_t index, uint8_t tag, int frame);
    void addClusterImage(const std::vector<Pixel>& pixels, const std::string& name);
    void addToFrameImage(const std::vector<Pixel>& pixels, int frame);
    bool parseClusterLine(const std::string& line, std::vector<Pixel>& pixels) const;
    void chooseImages();

    const Settings* settings_ = nullptr;
    const RunState* run_ = nullptr;
    const InputSet* inputs_ = nullptr;
    const Products* products_ = nullptr;
    MessageTarget messages_;
    int edgeColumn_ = -1;
    int filterColumn_ = -1;
    int classColumn_ = -1;
    int sizeColumn_ = -1;

    int width_ = 256;
    int height_ = 256;
    int valueIndex_ = 2;
    bool countOnly_ = false;
    int mapClusterLimit_ = 100;
    int imageCount_ = 15;
    std::string quantity_;
    std::string unit_;

    std::vector<uint8_t> tags_;
    std::vector<uint32_t> sizes_;

    std::unique_ptr<Hist2D> integrated_;
    std::unique_ptr<Hist2D> partial_;
    std::vector<Hist2D> classMaps_;
    std::vector<int> classMapCounts_;
    int partialCount_ = 0;
    std::vector<Hist2D> clusterImages_;
    std::vector<FrameImage> frameImages_;
    std::vector<Hist2D> groupImages_;
    // (cluster index, group image) of every cluster drawn in a group image, by cluster index; the pass has reached
    // nextMember_.
    std::vector<std::pair<uint32_t, uint32_t>> groupMembers_;
    size_t nextMember_ = 0;

    // Chosen before the pass: every s-th kept cluster gets an image, the largest one its own.
    size_t imageStep_ = 1;
    size_t keptSeen_ = 0;
    int regularImages_ = 0;
    size_t largestIndex_ = SIZE_MAX;
    int maxOccupancyFrame_ = -1;
    std::vector<int> spreadFrames_;
    int mismatches_ = 0;
    bool filled_ = false;
    bool imagesChosen_ = false;
};

}  // namespace zel
