#include "heifboxreader.h"

namespace kamelo::imaging::heifboxes::detail {

namespace {

std::vector<Property> properties(ByteView ipco) {
    std::vector<Property> list;
    Children children(ipco);
    Box box;
    while (children.next(box))
        list.push_back({box.type, box.payload});
    return list;
}

// Applies the item's transforms of one 'ipma' in the order they are listed.
void applyAssociations(ByteView ipma, uint32_t item, const std::vector<Property>& props,
                       Transforms& t) {
    Fields f(ipma);
    uint32_t versionFlags = 0, entries = 0;
    if (!f.u32(versionFlags) || !f.u32(entries))
        return;
    const bool longIds = (versionFlags >> 24) >= 1;
    const bool wideIndices = (versionFlags & 1) != 0;
    // Every entry takes at least three bytes, so the loop ends with the box.
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t id = 0, count = 0;
        if ((longIds ? !f.u32(id) : !f.u16(id)) || !f.u8(count))
            return;
        for (uint32_t a = 0; a < count; ++a) {
            uint32_t value = 0;
            if (wideIndices ? !f.u16(value) : !f.u8(value))
                return;
            if (id != item)
                continue;
            const uint32_t index = value & (wideIndices ? 0x7fffu : 0x7fu);
            if (index == 0 || index > props.size())
                continue;
            const Property& p = props[index - 1];
            const int first = p.payload.size > 0 ? p.payload.data[0] : -1;
            if (p.type == fourcc("irot") && first >= 0) {
                t.orientation = compose(t.orientation, fromRotation(first & 3));
                t.turned = true;
            } else if (p.type == fourcc("imir") && first >= 0) {
                t.orientation = compose(t.orientation, fromMirror(first & 1));
                t.turned = true;
            } else if (p.type == fourcc("clap") && !t.turned) {
                t.clap = p.payload;
            } else if (p.type == fourcc("ispe")) {
                Fields e(p.payload);
                uint32_t versionFlags = 0;
                if (!e.u32(versionFlags) || !e.u32(t.width) || !e.u32(t.height))
                    t.width = t.height = 0;
            }
        }
    }
}

} // namespace

ByteView metaChildren(ByteView meta) {
    if (meta.size < 8)
        return {};
    const bool versioned = be32(meta.data + 4) != fourcc("hdlr");
    return versioned ? ByteView{meta.data + 4, meta.size - 4} : meta;
}

uint32_t primaryItem(ByteView payload) {
    Fields f(payload);
    uint32_t versionFlags = 0, id = 0;
    if (!f.u32(versionFlags))
        return 0;
    if ((versionFlags >> 24) == 0 ? !f.u16(id) : !f.u32(id))
        return 0;
    return id;
}

uint32_t itemType(ByteView iinf, uint32_t item) {
    Fields f(iinf);
    uint32_t versionFlags = 0, count = 0;
    if (!f.u32(versionFlags) || ((versionFlags >> 24) == 0 ? !f.u16(count) : !f.u32(count)))
        return 0;
    Children entries(f.rest());
    Box infe;
    while (entries.next(infe)) {
        if (infe.type != fourcc("infe"))
            continue;
        Fields e(infe.payload);
        uint32_t v = 0, id = 0, protection = 0, type = 0;
        if (!e.u32(v) || (v >> 24) < 2)
            continue; // old entries carry no item type
        if (((v >> 24) == 2 ? !e.u16(id) : !e.u32(id)) || !e.u16(protection) || !e.u32(type))
            continue;
        if (id == item)
            return type;
    }
    return 0;
}

Transforms itemTransforms(ByteView iprp, uint32_t item) {
    Transforms t;
    std::vector<Property> props;
    Children first(iprp);
    Box box;
    while (first.next(box))
        if (box.type == fourcc("ipco") && props.empty())
            props = properties(box.payload);
    Children second(iprp);
    while (second.next(box))
        if (box.type == fourcc("ipma"))
            applyAssociations(box.payload, item, props, t);
    return t;
}

} // namespace kamelo::imaging::heifboxes::detail
