// chart.js - draws a bar chart from the second column of a report table
function drawBars(tableId, targetId) {
    var table = document.getElementById(tableId), target = document.getElementById(targetId);
    if (!table || !target) return;
    var rows = table.rows, values = [], max = 0, i;
    for (i = 1; i < rows.length - 1; i++) {
        var v = parseFloat(rows[i].cells[1].innerHTML.replace(/[$,]/g, ""));
        values.push(isNaN(v) ? 0 : v);
        if (v > max) max = v;
    }
    var html = "";
    for (i = 0; i < values.length; i++) {
        var w = max > 0 ? Math.round(values[i] / max * 400) : 0;
        html += '<div style="background:#2d6a1f;height:12px;margin:2px 0;width:' + w + 'px"></div>';
    }
    target.innerHTML = html;
}
