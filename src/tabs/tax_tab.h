// The Tax tab: the tax type, the flat rate, what the grid is keyed on, and the grid of rates per
// state, province or country (table tax, one row per region of the client).
#ifndef TVR_TABS_TAX_TAB_H_
#define TVR_TABS_TAX_TAB_H_

#include <vector>

#include "cart/request_context.h"
#include "tabs/grid_rows.h"

namespace tvr::tabs {

// The inside of the editor's right-hand cell.
void ShowTaxTab(cart::RequestContext& ctx);

// Stores the tax settings of the client row (TaxType, TaxRate, BaseTaxOn, DefaultTax, TaxShip)
// and the submitted grid over the client's tax rows; every value is checked before the first
// is written.
void SaveTaxTab(cart::RequestContext& ctx);

// The submitted tax grid (form fields TaxGridSize, State<n>, TaxRate<n>, TaxShip<n>): a row
// with a state and a rate other than "0" stores code, state, taxrate and TaxShip.
std::vector<PostedRow> SubmittedTaxGrid(const cart::RequestContext& ctx);

// The client's rows of table tax, in stored order.
engine::CBRecordset OpenTaxRows(cart::RequestContext& ctx);

}  // namespace tvr::tabs

#endif  // TVR_TABS_TAX_TAB_H_
