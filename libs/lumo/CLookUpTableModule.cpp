#include "libs/lumo/CLookUpTableModule.h"

#include "external/LumoResult.h"
#include "settings/IniFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lumo {

namespace {

constexpr const char* CHANNEL_ITEMS[3] = {"Red", "Green", "Blue"};

double CurveOf(int32_t index, double x) {
    switch (index) {
    case 0:
        return x;
    case 1:
        return std::pow(x, 0.45);
    case 2:
        return std::pow(x, 2.2);
    case 3:
        return 1.0 - x;
    case 4:
        return std::log1p(255.0 * x) / std::log(256.0);
    case 5:
        return 0.5 - 0.5 * std::cos(3.14159265358979323846 * x);
    default:
        return x;
    }
}
constexpr const char* CURVE_NAMES[] = {"Identity", "Gamma 0.45",  "Gamma 2.2",
                                       "Inverted", "Logarithmic", "Contrast S-curve"};
constexpr int32_t CURVE_COUNT = 6;

LutTable MakeTable(int32_t index) {
    LutTable table;
    table.name = CURVE_NAMES[index];
    table.curve = index;
    for (size_t i = 0; i < LutTable::POINTS; ++i) {
        double y = CurveOf(index, double(i) / double(LutTable::POINTS - 1));
        y = std::clamp(y, 0.0, 1.0);
        const uint16_t v = uint16_t(std::lround(y * 65535.0));
        for (auto& channel : table.points)
            channel[i] = v;
    }
    return table;
}

// Linear interpolation of a channel's points at normalised input t (0 .. 1), as 0 .. 1.
double Evaluate(const std::array<uint16_t, LutTable::POINTS>& points, double t) {
    const double pos = std::clamp(t, 0.0, 1.0) * double(LutTable::POINTS - 1);
    const size_t i = std::min(size_t(pos), LutTable::POINTS - 2);
    const double f = pos - double(i);
    return (points[i] * (1.0 - f) + points[i + 1] * f) / 65535.0;
}

} // namespace

std::vector<LutTable> CLookUpTableModule::FactoryTables() {
    std::vector<LutTable> tables;
    for (int32_t k = 0; k < CURVE_COUNT; ++k)
        tables.push_back(MakeTable(k));
    return tables;
}

CLookUpTableModule::CLookUpTableModule()
    : CProcessModule(ID, "Look-up Table"), m_factory(FactoryTables()) {
    m_actual = m_factory[0];
}

uint32_t CLookUpTableModule::SetParam(uint32_t id, uintptr_t a, uintptr_t b) {
    platform::RecursiveLock lock(ParamLock());
    if (id == PARAM_KIND)
        m_loadCount = 0;
    return CProcessModule::SetParam(id, a, b);
}

uint32_t CLookUpTableModule::Process(const PixelView& in, PixelView& out) {
    const MapperKey key{in.container, in.bits, out.container, out.bits, in.channels, m_generation};
    if (!m_mapper.IsFor(key)) {
        const double inMax = double(in.MaxValue());
        const double outMax = double(out.MaxValue());
        const bool perChannel = m_colourMode == 3 || in.channels >= 3;
        const LutTable& table = m_actual;
        m_mapper.Build(key, [&](uint32_t c, uint32_t v) {
            const double x = std::min(double(v) / inMax, 1.0);
            if (table.curve >= 0 && table.curve < CURVE_COUNT)
                return std::clamp(CurveOf(table.curve, x), 0.0, 1.0) * outMax;
            const size_t channel = perChannel ? std::min<size_t>(c, 2) : 0;
            return Evaluate(table.points[channel], x) * outMax;
        });
    }
    if (m_mapper.IsIdentityFor(in, out))
        return SAME_AS_INPUT;
    m_mapper.Apply(in, out, RowBands());
    return LUMO_OK;
}

uint32_t CLookUpTableModule::ReadBlock(uint32_t id, uint8_t* block, size_t size) {
    if (id == LUMO_PARAM_BLOCK12) {
        LumoLutSetupBlock data{};
        data.colourMode = m_colourMode;
        data.imageClass = m_imageClass;
        data.tableKind = m_selectedKind;
        data.tableIndex = m_selectedIndex;
        std::memcpy(data.tableName, m_actual.name.c_str(),
                    std::min(m_actual.name.size(), NAME_ROOM - 1));
        LumoPutBlock(data, block, size);
        return LUMO_OK;
    }
    if (id == LUMO_PARAM_BLOCK13) {
        LumoLutRangeBlock data{};
        data.inputRange = m_ranges[0];
        data.inputScale = m_ranges[1];
        data.outputRange = m_ranges[2];
        LumoPutBlock(data, block, size);
        return LUMO_OK;
    }
    if (id == LUMO_PARAM_BLOCK14) {
        LumoPutBlock(m_block14, block, size);
        return LUMO_OK;
    }
    std::memset(block, 0, size);
    return LUMO_E_NOTSUPPORTED;
}

uint32_t CLookUpTableModule::WriteBlock(uint32_t id, const uint8_t* block, size_t size) {
    if (id == LUMO_PARAM_BLOCK12) {
        if (size < offsetof(LumoLutSetupBlock, tableName))
            return LUMO_E_INVALIDARG;
        const auto data = LumoTakeBlock<LumoLutSetupBlock>(block, size);
        m_imageClass = data.imageClass;
        m_colourMode = data.colourMode == 3 ? 3 : 1;
    } else if (id == LUMO_PARAM_BLOCK13) {
        if (size < offsetof(LumoLutRangeBlock, outputRange) + sizeof(double))
            return LUMO_E_INVALIDARG;
        const auto data = LumoTakeBlock<LumoLutRangeBlock>(block, size);
        m_ranges[0] = data.inputRange;
        m_ranges[1] = data.inputScale;
        m_ranges[2] = data.outputRange;
    } else if (id == LUMO_PARAM_BLOCK14) {
        // A shorter block keeps the rest of what the dialog stored.
        std::memcpy(m_block14.data, block, std::min(size, sizeof(m_block14)));
    } else {
        return LUMO_E_NOTSUPPORTED;
    }
    ++m_generation;
    return LUMO_OK;
}

uint32_t CLookUpTableModule::SetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    switch (id) {
    case PARAM_SELECT: {
        const std::vector<LutTable>& list = a == 1 ? m_factory : m_user;
        if ((a != 1 && a != 2) || b >= list.size())
            return LUMO_E_INVALIDARG;
        m_actual = list[b];
        m_selectedKind = uint32_t(a);
        m_selectedIndex = uint32_t(b);
        break;
    }
    case PARAM_POINTS:
        if (!a)
            return LUMO_E_INVALIDARG;
        for (size_t c = 0; c < 3; ++c)
            std::memcpy(m_actual.points[c].data(),
                        reinterpret_cast<const uint16_t*>(a) + c * LutTable::POINTS,
                        LutTable::POINTS * 2);
        m_actual.name = "Custom";
        m_actual.curve = -1;
        break;
    case PARAM_KEEP_USER:
        m_user.push_back(m_actual);
        break;
    case PARAM_REMOVE_USER:
        if (a >= m_user.size())
            return LUMO_E_INVALIDARG;
        m_user.erase(m_user.begin() + std::ptrdiff_t(a));
        break;
    default:
        return CProcessModule::SetOwnParam(id, a, b);
    }
    ++m_generation;
    return LUMO_OK;
}

uint32_t CLookUpTableModule::GetOwnParam(uint32_t id, uintptr_t a, uintptr_t b) {
    if (id == PARAM_TABLE_NAME) {
        const std::vector<LutTable>* list = Kind() == 1   ? &m_factory
                                            : Kind() == 2 ? &m_user
                                                          : nullptr;
        if (!list || a >= list->size() || !b)
            return LUMO_E_INVALIDARG;
        const std::string& name = (*list)[a].name;
        char* out = reinterpret_cast<char*>(b);
        const size_t length = std::min(name.size(), NAME_ROOM - 1);
        std::memcpy(out, name.data(), length);
        out[length] = '\0';
        return LUMO_OK;
    }
    if (id != PARAM_POINTS)
        return CProcessModule::GetOwnParam(id, a, b);
    if (!a)
        return LUMO_E_INVALIDARG;
    for (size_t c = 0; c < 3; ++c)
        std::memcpy(reinterpret_cast<uint16_t*>(a) + c * LutTable::POINTS,
                    m_actual.points[c].data(), LutTable::POINTS * 2);
    return LUMO_OK;
}

bool CLookUpTableModule::ReadTable(CIniFile_0& store, LutTable& table) {
    if (!Key())
        return false;
    char name[NAME_ROOM] = {};
    int found = 0;
    store.GetListString(Section(), Key(), "Name", "", name, sizeof(name), &found);
    if (!found)
        return false;
    for (size_t c = 0; c < 3; ++c) {
        found = 0;
        const uint64_t length =
            store.GetListBinary(Section(), Key(), CHANNEL_ITEMS[c], nullptr, 0,
                                table.points[c].data(), LutTable::POINTS * 2, &found);
        if (!found || length != LutTable::POINTS * 2)
            return false;
    }
    table.name = name;
    const int32_t curve = store.GetListInt32(Section(), Key(), "Curve", -1);
    table.curve = curve >= 0 && curve < CURVE_COUNT ? curve : -1;
    return true;
}

void CLookUpTableModule::WriteTable(CIniFile_0& store, const LutTable& table) {
    store.SetListString(Section(), Key(), "Name", table.name.c_str());
    store.SetListInt32(Section(), Key(), "Curve", table.curve);
    for (size_t c = 0; c < 3; ++c)
        store.SetListBinary(Section(), Key(), CHANNEL_ITEMS[c], table.points[c].data(),
                            LutTable::POINTS * 2);
}

uint32_t CLookUpTableModule::LoadPart(CIniFile_0& store, uint32_t part) {
    if (part == 0) {
        LutTable table;
        if (!ReadTable(store, table))
            return LUMO_E_INVALIDARG;
        if (Kind() == 0) {
            m_actual = table;
        } else if (Kind() == 1) {
            if (m_loadCount < m_factory.size())
                m_factory[m_loadCount] = table;
            else
                m_factory.push_back(table);
        } else {
            if (m_loadCount == 0)
                m_user.clear();
            m_user.push_back(table);
        }
        ++m_loadCount;
        ++m_generation;
        return LUMO_OK;
    }
    if (part == 1) {
        m_selectedKind = store.GetUInt32(Section(), "SelectedKind", m_selectedKind);
        m_selectedIndex = store.GetUInt32(Section(), "SelectedIndex", m_selectedIndex);
        return LUMO_OK;
    }
    return CProcessModule::LoadPart(store, part);
}

uint32_t CLookUpTableModule::SavePart(CIniFile_0& store, uint32_t part, uint64_t index) {
    if (Key() && Kind() != 0) { // a factory or user table: the number is its index
        const std::vector<LutTable>& list = Kind() == 1 ? m_factory : m_user;
        if (index >= list.size())
            return LUMO_E_INVALIDARG;
        WriteTable(store, list[index]);
        return LUMO_OK;
    }
    if (part == 0) {
        if (!Key())
            return LUMO_E_INVALIDARG;
        WriteTable(store, m_actual);
        return LUMO_OK;
    }
    if (part == 1) {
        store.SetUInt32(Section(), "SelectedKind", m_selectedKind);
        store.SetUInt32(Section(), "SelectedIndex", m_selectedIndex);
        return LUMO_OK;
    }
    return CProcessModule::SavePart(store, part, index);
}

uint64_t CLookUpTableModule::TableCount() const {
    return Kind() == 1 ? m_factory.size() : Kind() == 2 ? m_user.size() : 1;
}

} // namespace lumo
