#pragma once
// The numbers that define the saved-model files: protocol-buffer field numbers of the messages read, the data
// types of tensors, and the constants of the sorted-table format of the variables index. The readers and the
// test writers of model directories both take them from here.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zel::savedmodel {

// File names inside a model directory.
inline constexpr std::string_view kSavedModelFile = "saved_model.pb";
inline constexpr std::string_view kKerasMetadataFile = "keras_metadata.pb";
inline constexpr std::string_view kVariablesIndex = "variables/variables.index";
inline constexpr std::string_view kVariablesData = "variables/variables.data-00000-of-00001";
inline constexpr std::string_view kServeTag = "serve";

// Weights of the i-th layer that has weights: kLayerWeightsPrefix + i + "/" + attribute + kVariableSuffix.
inline constexpr std::string_view kLayerWeightsPrefix = "layer_with_weights-";
inline constexpr std::string_view kVariableSuffix = "/.ATTRIBUTES/VARIABLE_VALUE";

// Map fields are repeated entries of key and value.
namespace map_entry {
inline constexpr uint32_t kKey = 1, kValue = 2;
}
namespace saved_model {
inline constexpr uint32_t kSchemaVersion = 1, kMetaGraphs = 2;
}
namespace meta_graph {
inline constexpr uint32_t kMetaInfo = 1, kSignatures = 5;
}
namespace meta_info {
inline constexpr uint32_t kTags = 4, kTensorflowVersion = 5;
}
namespace signature {
inline constexpr uint32_t kInputs = 1, kOutputs = 2, kMethodName = 3;
}
namespace tensor_info {
inline constexpr uint32_t kName = 1, kDtype = 2, kShape = 3;
}
namespace saved_metadata {
inline constexpr uint32_t kNodes = 1;
}
namespace saved_object {
inline constexpr uint32_t kNodeId = 2, kNodePath = 3, kIdentifier = 4, kMetadata = 5;
}
namespace bundle_header {
inline constexpr uint32_t kNumShards = 1, kEndianness = 2;
}
namespace bundle_entry {
inline constexpr uint32_t kDtype = 1, kShape = 2, kShardId = 3, kOffset = 4, kSize = 5, kCrc32c = 6, kSlices = 7;
}
namespace tensor_shape {
inline constexpr uint32_t kDim = 2, kUnknownRank = 3;
}
namespace dim {
inline constexpr uint32_t kSize = 1;
}

// Tensor data types.
inline constexpr int kDtypeFloat = 1;
inline constexpr int kDtypeString = 7;
inline constexpr int kDtypeInt64 = 9;

// The sorted table of the variables index: blocks of prefix-compressed entries with restart points, each block
// followed by a compression byte and the masked checksum of block and byte; an index block of block handles; a
// footer of two handles, padding and the magic number.
namespace table {
inline constexpr size_t kFooterSize = 48;
inline constexpr size_t kHandlesSize = 40;  // the two handles, padded
inline constexpr uint64_t kMagic = 0xdb4775248b80fb57ull;
inline constexpr size_t kBlockTrailerSize = 5;
inline constexpr uint8_t kNoCompression = 0;
}  // namespace table

}  // namespace zel::savedmodel
