// The Shipping tab: the client's shipping types (table shiptype), one shown at a time with its
// settings and its grid of charges by range (table shipping), and a way to add a type.
#ifndef TVR_TABS_SHIPPING_TAB_H_
#define TVR_TABS_SHIPPING_TAB_H_

#include "cart/request_context.h"

namespace tvr::tabs {

// The inside of the editor's right-hand cell. The type shown: a type just added ("Add Type"),
// the type chosen in the list ("Show Type"), the type just saved (ShipName), else the first.
// The page carries a hidden TabName "Shipping", so its own buttons keep the tab on screen.
void ShowShippingTab(cart::RequestContext& ctx);

// Stores the shown type (LastType) under its edited name and settings and its grid
// (ShippingGridSize, from<n>, to<n>, value<n>; a row of three zeros is empty). Every value is
// checked before anything is written. Then, when "Add Type" was pressed with a name in
// NewShipType that no type of the client has, appends that type.
void SaveShippingTab(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_SHIPPING_TAB_H_
