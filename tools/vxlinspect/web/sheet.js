// The sheet's table: built from the rows vxlinspect embedded (one object
// per map), sorted by a click on a column's heading, filtered by name.
//
// Each row is { name, page, thumb, figures } for a map that was read, or
// { name, error } for one that was not; those sort last and stay listed,
// so that no map silently goes missing.
//
// The page reports its state on <body>: data-state "ready", data-rows (all
// maps), data-shown (rows the filter lets through) and data-sort ("KEY
// ascending" or "KEY descending").
(function () {
  "use strict";

  const rows = JSON.parse(document.getElementById("sheet-rows").textContent);
  const body = document.querySelector("#sheet tbody");
  const headings = [...document.querySelectorAll("#sheet th[data-key]")];
  const keys = headings.map((th) => th.dataset.key);

  const percent = (v) => `${(100 * v).toFixed(1)} %`;
  const formats = {
    land_share_left: percent,
    land_share_right: percent,
    land_share_smaller: percent,
    land_share_difference: percent,
    land_share: percent,
    surface_mean: (v) => v.toFixed(1),
    surface_max: String,
    floating_voxels: (v) => v.toLocaleString("en"),
  };

  // The value a row sorts by for `key`; null for a map that was not read.
  function value(row, key) {
    if (key === "name") return row.name;
    return row.figures ? row.figures[key] : null;
  }

  function link(row, child) {
    const a = document.createElement("a");
    a.href = row.page;
    a.appendChild(child);
    return a;
  }

  function buildRow(row) {
    const tr = document.createElement("tr");
    tr.dataset.name = row.name;
    const thumb = tr.insertCell();
    thumb.className = "thumb";
    const name = tr.insertCell();
    name.className = "name";
    if (row.error) {
      name.textContent = row.name;
      const why = tr.insertCell();
      why.className = "error";
      why.colSpan = keys.length - 1;
      why.textContent = row.error;
      return tr;
    }
    const img = document.createElement("img");
    img.src = row.thumb;
    img.alt = `${row.name} from above`;
    img.loading = "lazy";
    thumb.appendChild(link(row, img));
    name.appendChild(link(row, document.createTextNode(row.name)));
    for (const key of keys.slice(1)) {
      const cell = tr.insertCell();
      cell.textContent = formats[key](row.figures[key]);
    }
    return tr;
  }

  const items = rows.map((row) => ({ row, tr: buildRow(row) }));
  body.append(...items.map((item) => item.tr));

  // Names compare as people read them: "seed-9" before "seed-10".
  const byName = new Intl.Collator("en", { numeric: true, sensitivity: "base" });

  let sortKey = null;
  let ascending = true;

  function sortBy(key) {
    ascending = key === sortKey ? !ascending : true;
    sortKey = key;
    const sign = ascending ? 1 : -1;
    const text = key === "name";
    items.sort((a, b) => {
      const va = value(a.row, key);
      const vb = value(b.row, key);
      // Unread maps last, whichever the direction.
      if (va === null || vb === null) return (va === null) - (vb === null);
      const order = text ? byName.compare(va, vb) : va - vb;
      return sign * order || byName.compare(a.row.name, b.row.name);
    });
    body.append(...items.map((item) => item.tr));
    for (const th of headings) {
      if (th.dataset.key === key) th.setAttribute("aria-sort", ascending ? "ascending" : "descending");
      else th.removeAttribute("aria-sort");
    }
    document.body.dataset.sort = `${key} ${ascending ? "ascending" : "descending"}`;
  }

  for (const th of headings) {
    th.querySelector("button").addEventListener("click", () => sortBy(th.dataset.key));
  }

  const filter = document.getElementById("filter");
  function applyFilter() {
    const wanted = filter.value.trim().toLowerCase();
    let shown = 0;
    for (const { row, tr } of items) {
      tr.hidden = wanted !== "" && !row.name.toLowerCase().includes(wanted);
      if (!tr.hidden) ++shown;
    }
    document.getElementById("shown").textContent =
      shown === items.length ? `${items.length} maps` : `${shown} of ${items.length} maps`;
    document.body.dataset.shown = String(shown);
  }
  filter.addEventListener("input", applyFilter);

  document.body.dataset.rows = String(items.length);
  applyFilter();
  document.body.dataset.state = "ready";
})();
