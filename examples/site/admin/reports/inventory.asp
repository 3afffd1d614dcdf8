<%@ Language="JScript" %>
<!-- #include virtual="/includes/auth.inc" -->
<%
// This report is written in JScript: the warehouse team maintains it.
var conn = Server.CreateObject("ADODB.Connection");
conn.Open(Application("ConnString"));
var rs = conn.Execute("SELECT Name, Category, StockLevel, ReorderLevel FROM Products ORDER BY StockLevel");
var low = 0;

function cell(value, cls) {
    return "<td" + (cls ? " class=\"" + cls + "\"" : "") + ">" + Server.HTMLEncode(String(value)) + "</td>";
}
%>
<html>
<head><title>Inventory</title><link rel="stylesheet" type="text/css" href="/css/site.css"></head>
<body>
<h1>Inventory</h1>
<table class="grid" cellspacing="0">
  <tr><th>Product</th><th>Category</th><th>Stock</th><th>Reorder at</th></tr>
<%
while (!rs.EOF) {
    var stock = rs("StockLevel").Value, reorder = rs("ReorderLevel").Value;
    if (stock <= reorder) low++;
    Response.Write("  <tr>" + cell(rs("Name").Value) + cell(rs("Category").Value) +
                   cell(stock, stock <= reorder ? "error" : "") + cell(reorder) + "</tr>\r\n");
    rs.MoveNext();
}
rs.Close();
conn.Close();
%>
</table>
<p><%= low %> products at or below their reorder level.</p>
</body>
</html>
