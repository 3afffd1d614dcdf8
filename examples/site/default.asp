<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include file="includes/db.inc" -->
<%
Dim strPageTitle, rsFeatured
strPageTitle = "Welcome"
Set rsFeatured = RunQuery("SELECT TOP 4 ProductID, Name, Price FROM Products WHERE Featured = True ORDER BY Name", Empty)
%>
<!-- #include file="includes/header.inc" -->
<h1>Everything for your garden</h1>
<p>Seeds, bulbs, tools and advice since 1987. Today is <%= FormatDateTime(Date(), 1) %>.</p>

<h2>This week's picks</h2>
<table class="grid" cellspacing="0">
<% Do While Not rsFeatured.EOF %>
  <tr>
    <td><a href="product.asp?id=<%= rsFeatured("ProductID") %>"><%= Server.HTMLEncode(rsFeatured("Name")) %></a></td>
    <td align="right"><%= FormatPrice(rsFeatured("Price")) %></td>
  </tr>
<%
    rsFeatured.MoveNext
Loop
rsFeatured.Close
Set rsFeatured = Nothing
%>
</table>

<p><a href="news/spring sale.htm">Read about our spring sale</a></p>
<!-- #include file="includes/footer.inc" -->
