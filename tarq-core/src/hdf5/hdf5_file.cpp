#include "hdf5/hdf5_file.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "hdf5/attribute.h"
#include "hdf5/dataset_header.h"
#include "hdf5/dataset_read.h"
#include "hdf5/dimension_scales.h"
#include "hdf5/group_links.h"
#include "hdf5/member_table.h"
#include "hdf5/superblock.h"
#include "hdf5/symbol_table.h"

namespace tarq {

using hdf5::AttributeTable;
using hdf5::Dataset;
using hdf5::MemberTable;

struct Hdf5File::State {
    explicit State(FileReader reader) : file(std::move(reader)) {}

    FileReader file;
    MemberTable members;                  // immutable after open
    AttributeTable attributes;            // immutable after open
    mutable std::mutex cache_mutex;       // guards the two caches below
    mutable std::unordered_map<std::string, std::shared_ptr<const Dataset>> dataset_cache;
    mutable std::unordered_map<std::string, AttributeTable> member_attributes;
    // Dimension scales of each dataset (by object header address), gathered
    // from every member's REFERENCE_LIST on first use; immutable after that.
    mutable std::once_flag scales_once;
    mutable std::unordered_map<std::uint64_t, std::vector<std::uint64_t>> scales;

    // The cached description of a root member; the first caller to insert
    // one wins, so that every read shares its chunk records.
    Result<std::shared_ptr<const Dataset>> dataset(std::string_view name) const {
        const std::string key(name);
        {
            const std::lock_guard lock(cache_mutex);
            if (const auto hit = dataset_cache.find(key); hit != dataset_cache.end()) return hit->second;
        }
        const auto member = members.find(key);
        if (member == members.end()) return fail(ErrorKind::VarNotFound, key);
        TARQ_TRY(DatasetInfo info, hdf5::parse_dataset_header(file, member->second));
        auto parsed = std::make_shared<const Dataset>(std::move(info));
        const std::lock_guard lock(cache_mutex);
        return dataset_cache.try_emplace(key, std::move(parsed)).first->second;
    }
};

Hdf5File::Hdf5File(std::unique_ptr<State> state) : state_(std::move(state)) {}
Hdf5File::Hdf5File(Hdf5File&&) noexcept = default;
Hdf5File& Hdf5File::operator=(Hdf5File&&) noexcept = default;
Hdf5File::~Hdf5File() = default;

Result<Hdf5File> Hdf5File::open(std::string_view path) {
    TARQ_TRY(FileReader file, FileReader::open(path));
    return open(std::move(file));
}

Result<Hdf5File> Hdf5File::open(FileReader file) {
    TARQ_TRY(const hdf5::RootGroup root, hdf5::locate_root_group(file));
    auto state = std::make_unique<State>(std::move(file));
    const FileReader& reader = state->file;
    if (root.symbol_table) {
        TARQ_TRY(state->members, hdf5::read_symbol_table_group(reader, root.btree_address, root.heap_address));
    } else {
        TARQ_TRY(state->members, hdf5::read_link_messages(reader, root.header_address, root.v2_header));
    }
    if (root.v2_header) {
        TARQ_TRY(state->attributes, hdf5::collect_v2_attributes(reader, root.header_address));
    } else {
        TARQ_TRY(state->attributes, hdf5::collect_v1_attributes(reader, root.header_address));
    }
    return Hdf5File(std::move(state));
}

Result<DatasetInfo> Hdf5File::dataset_info(std::string_view name) const {
    TARQ_TRY(const std::shared_ptr<const Dataset> dataset, state_->dataset(name));
    return dataset->info();
}

Result<std::vector<std::uint64_t>> Hdf5File::shape(std::string_view name) const {
    const auto info = dataset_info(name);
    if (!info) return std::unexpected(info.error());
    return info->dims;
}

namespace {

// A read allocates what the dataset's shape claims. When the memory is not
// there, the error names the dataset and its shape.
template <class Read>
auto naming_memory_failure(std::string_view name, const DatasetInfo& info, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const std::bad_alloc&) {
        std::string shape;
        for (const std::uint64_t d : info.dims) shape += (shape.empty() ? "" : ", ") + std::to_string(d);
        return fail(ErrorKind::NetCdf, "Out of memory reading variable '" + std::string(name) + "' of shape [" +
                                           shape + "]");
    }
}

}  // namespace

Result<std::vector<std::uint8_t>> Hdf5File::read_bytes(std::string_view name) const {
    TARQ_TRY(const std::shared_ptr<const Dataset> dataset, state_->dataset(name));
    return naming_memory_failure(name, dataset->info(),
                                 [&] { return hdf5::read_dataset_bytes(state_->file, *dataset); });
}

Result<std::vector<double>> Hdf5File::read_f64(std::string_view name) const {
    TARQ_TRY(const std::shared_ptr<const Dataset> dataset, state_->dataset(name));
    return naming_memory_failure(name, dataset->info(), [&]() -> Result<std::vector<double>> {
        return hdf5::read_dataset_f64(state_->file, *dataset);
    });
}

Result<std::vector<double>> Hdf5File::read_f64_slab(std::string_view name, std::uint64_t index) const {
    TARQ_TRY(const std::shared_ptr<const Dataset> dataset, state_->dataset(name));
    return naming_memory_failure(name, dataset->info(), [&]() -> Result<std::vector<double>> {
        return hdf5::read_dataset_slab_f64(state_->file, *dataset, index);
    });
}

Result<std::vector<double>> Hdf5File::read_f64_box(std::string_view name, std::span<const std::uint64_t> lo,
                                                   std::span<const std::uint64_t> hi) const {
    TARQ_TRY(const std::shared_ptr<const Dataset> dataset, state_->dataset(name));
    return naming_memory_failure(name, dataset->info(), [&]() -> Result<std::vector<double>> {
        return hdf5::read_dataset_box_f64(state_->file, *dataset, lo, hi);
    });
}

std::optional<std::uint64_t> Hdf5File::dimension_size(std::string_view name) const {
    const auto dims = shape(name);
    if (!dims || dims->size() != 1) return std::nullopt;
    return dims->front();
}

std::optional<DimensionIds> Hdf5File::dimension_ids(std::string_view name) const {
    std::call_once(state_->scales_once, [&] {
        for (const auto& [member_name, header] : state_->members) {
            const auto attachments = hdf5::scale_attachments(state_->file, header);
            if (!attachments) continue;  // an unreadable member is no scale
            for (const hdf5::ScaleAttachment& a : *attachments) {
                // A dimension index past any rank a dataspace can have is corrupt.
                if (a.dimension >= 32) continue;
                auto& dims = state_->scales[a.dataset];
                if (dims.size() <= a.dimension) dims.resize(a.dimension + 1, UNDEFINED_ADDRESS);
                dims[a.dimension] = header;
            }
        }
    });
    const auto member = state_->members.find(std::string(name));
    if (member == state_->members.end()) return std::nullopt;
    const auto found = state_->scales.find(member->second);
    if (found == state_->scales.end()) return std::nullopt;
    DimensionIds ids;
    for (const std::uint64_t scale : found->second)
        ids.push_back(scale == UNDEFINED_ADDRESS ? std::nullopt : std::optional(scale));
    return ids;
}

Result<double> Hdf5File::attr_f64(std::string_view name) const {
    const std::string key(name);
    const auto found = state_->attributes.find(key);
    if (found == state_->attributes.end()) return fail(ErrorKind::AttrNotFound, key);
    return attr_value_f64(key, found->second);
}

Result<Datatype> Hdf5File::datatype(std::string_view name) const {
    TARQ_TRY(const DatasetInfo info, dataset_info(name));
    return info.datatype;
}

Result<std::optional<AttrValue>> Hdf5File::member_attr(std::string_view member, std::string_view attribute) const {
    const std::string key(member);
    const auto numeric = [&](const AttributeTable& table) -> std::optional<AttrValue> {
        const auto found = table.find(std::string(attribute));
        return found == table.end() ? std::nullopt : std::optional(found->second);
    };
    {
        const std::lock_guard lock(state_->cache_mutex);
        if (const auto hit = state_->member_attributes.find(key); hit != state_->member_attributes.end())
            return numeric(hit->second);
    }
    const auto address = state_->members.find(key);
    if (address == state_->members.end()) return fail(ErrorKind::VarNotFound, key);
    TARQ_TRY(AttributeTable table, hdf5::collect_object_attributes(state_->file, address->second));
    const std::lock_guard lock(state_->cache_mutex);
    const auto& stored = state_->member_attributes.insert_or_assign(key, std::move(table)).first->second;
    return numeric(stored);
}

std::vector<std::string> Hdf5File::member_names() const {
    std::vector<std::string> names;
    for (const auto& entry : state_->members) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> Hdf5File::attribute_names() const {
    std::vector<std::string> names;
    for (const auto& entry : state_->attributes) names.push_back(entry.first);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tarq
