<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include file="includes/db.inc" -->
<%
Dim strPageTitle, lngID, rs
lngID = GetParam("id")
If Not IsNumeric(lngID) Or lngID = "" Then Response.Redirect "products.asp"

Set rs = RunQuery("SELECT * FROM Products WHERE ProductID = ?", Array(lngID))
If rs.EOF Then
    rs.Close
    Response.Redirect "products.asp"
End If
strPageTitle = rs("Name")
%>
<!-- #include file="includes/header.inc" -->
<h1><%= Server.HTMLEncode(rs("Name")) %></h1>
<p class="price"><%= FormatPrice(rs("Price")) %></p>
<p><%= Server.HTMLEncode(rs("Description") & "") %></p>
<form method="post" action="cart.asp">
  <input type="hidden" name="id" value="<%= rs("ProductID") %>">
  Quantity: <input type="text" name="qty" value="1" size="3">
  <input type="submit" value="Add to cart">
</form>
<%
rs.Close
Set rs = Nothing
%>
<!-- #include file="includes/footer.inc" -->
